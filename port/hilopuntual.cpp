#include "port/hilopuntual.h"

#include <cstdint>
#include <sched.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

// The kernel's sched_attr; glibc before 2.41 has no wrapper for it.
struct AtributosPlanificador
{
    uint32_t size;
    uint32_t sched_policy;
    uint64_t sched_flags;
    int32_t sched_nice;
    uint32_t sched_priority;
    uint64_t sched_runtime;
    uint64_t sched_deadline;
    uint64_t sched_period;
};

// The shortest slice the kernel accepts.
constexpr uint64_t kRodajaNs = 100000;

} // namespace

bool HiloPuntual::aplica()
{
    const bool holgura = ::prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL) == 0;
    const pid_t hilo = pid_t(::syscall(SYS_gettid));
    AtributosPlanificador a {};
    a.size = sizeof a;
    a.sched_policy = SCHED_OTHER;
    // The nice value stays as it is: raising priority would need privilege.
    a.sched_nice = ::getpriority(PRIO_PROCESS, id_t(hilo));
    a.sched_runtime = kRodajaNs;
    const bool rodaja = ::syscall(SYS_sched_setattr, hilo, &a, 0U) == 0;
    return holgura && rodaja;
}

#include "dnc/senalesdnc.h"

#include <QSocketNotifier>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>
#include <utility>

namespace {

int g_tuberia[2] = {-1, -1};

void alRecibir(int numero)
{
    const char c = char(numero);
    [[maybe_unused]] const ssize_t n = ::write(g_tuberia[1], &c, 1);
}

} // namespace

SenalesDnc::SenalesDnc(QObject *parent) : QObject(parent)
{
    ::signal(SIGPIPE, SIG_IGN);
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_tuberia) != 0)
        return;
    m_notificador = new QSocketNotifier(g_tuberia[0], QSocketNotifier::Read, this);
    connect(m_notificador, &QSocketNotifier::activated, this, [this] {
        char c;
        if (::read(g_tuberia[0], &c, 1) == 1)
            emit senal(int(c));
    });
    struct sigaction sa
    {
    };
    sa.sa_handler = alRecibir;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    for (const int s : {SIGTERM, SIGINT, SIGHUP})
        ::sigaction(s, &sa, nullptr);
}

SenalesDnc::~SenalesDnc()
{
    struct sigaction sa
    {
    };
    sa.sa_handler = SIG_DFL;
    for (const int s : {SIGTERM, SIGINT, SIGHUP})
        ::sigaction(s, &sa, nullptr);
    delete m_notificador;
    for (int &fd : g_tuberia)
        if (fd >= 0)
            ::close(std::exchange(fd, -1));
}

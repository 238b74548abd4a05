#pragma once

#include <functional>

#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

// Runs the function in a child process without root's privileges (as
// "nobody" when the tests run as root, as CI does), so that file permissions
// apply. Returns what the function returned, or false if the child failed.
inline bool SinPrivilegios(const std::function<bool()> &funcion)
{
    const pid_t hijo = fork();
    if (hijo < 0)
        return false;
    if (hijo == 0) {
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0))
            _exit(2);
        _exit(funcion() ? 0 : 1);
    }
    int estado = 0;
    if (waitpid(hijo, &estado, 0) != hijo)
        return false;
    return WIFEXITED(estado) && WEXITSTATUS(estado) == 0;
}

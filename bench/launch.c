// SPDX-FileCopyrightText: 2026 The kun2wyt authors
// SPDX-License-Identifier: MIT
/* Runs a program and prints on standard error the peak resident memory of its process, in KiB.
 * A process's peak includes what it held before exec, so the program is started from this small
 * launcher rather than from a larger harness; the figure is thus an upper bound that includes
 * the launcher's own few pages. */
#include <stdio.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

int main(int argc, char** argv)
{
    struct rusage usage;
    int status = 0;
    pid_t child;

    if (argc < 2)
        return 127;
    child = fork();
    if (child == 0) {
        execv(argv[1], argv + 1);
        _exit(127);
    }
    if (child < 0 || wait4(child, &status, 0, &usage) < 0)
        return 127;
    fprintf(stderr, "%ld\n", usage.ru_maxrss);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
}

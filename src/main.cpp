#include "kun2wyt.hpp"

#include <cerrno>
#include <csignal>
#include <cstddef>

#include <fcntl.h>
#include <unistd.h>

int main(int argc, char** argv)
{
    // A process started with standard input, output or error closed would hand their numbers to
    // the first files the run opens, and the report would be written into the output file. Hold
    // those numbers with /dev/null instead.
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
        if (::fcntl(fd, F_GETFD) == -1 && errno == EBADF && ::open("/dev/null", O_RDWR) != fd) {
            return kun2wyt::exit_failure;
        }
    }

    // A reader that has gone away (kun2wyt ... | head -c1) costs the report, not the run: the
    // output file is already in place and the status must say so.
    if (std::signal(SIGPIPE, SIG_IGN) == SIG_ERR) {
        return kun2wyt::exit_failure;
    }

    return kun2wyt::run({argv, static_cast<std::size_t>(argc)}, STDOUT_FILENO);
}

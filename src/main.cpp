// SPDX-FileCopyrightText: 2026 The kun2wyt authors
// SPDX-License-Identifier: MIT

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
    // those numbers with /dev/null instead. Where /dev/null cannot be had (a chroot without
    // /dev, say), the run goes on: an input file on descriptor 0 or 2 is never written, and with
    // descriptor 1 closed the messages have no reader, so they go nowhere rather than into
    // whatever file takes its number.
    int out = STDOUT_FILENO;
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
        // F_GETFD fails for a closed descriptor alone, with EBADF; any other answer says open.
        // (No run gets another error, so that branch is left out of the coverage count.)
        if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) { // GCOVR_EXCL_BR_LINE
            continue;
        }
        // open() takes the lowest free number: below `fd` (or none) means `fd` is still free.
        if (::open("/dev/null", O_RDWR) < fd && fd == STDOUT_FILENO) {
            out = -1;
        }
    }

    // A reader that has gone away (kun2wyt ... | head -c1) costs the report, not the run: the
    // output file is already in place and the status must say so. Ignoring it fails only for a
    // signal that does not exist; were it to fail, that reader would end the run by the signal,
    // which no caller takes for success.
    (void)std::signal(SIGPIPE, SIG_IGN);

    return kun2wyt::run({argv, static_cast<std::size_t>(argc)}, out);
}

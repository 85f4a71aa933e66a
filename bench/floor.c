// SPDX-FileCopyrightText: 2026 The kun2wyt authors
// SPDX-License-Identifier: MIT
/* The least a successful run can do: open the input for reading, create the output empty, print
 * the two-line report. kun2wyt's start-up is measured against this, built the same way. */
#include <fcntl.h>
#include <string.h>
#include <unistd.h>

static size_t append(char* to, size_t at, const char* text)
{
    size_t const length = strlen(text);
    memcpy(to + at, text, length);
    return at + length;
}

int main(int argc, char** argv)
{
    char report[4096];
    size_t length = 0;

    if (argc != 3 || strlen(argv[1]) + strlen(argv[2]) + 64 > sizeof report)
        return 1;
    if (open(argv[1], O_RDONLY) < 0 || open(argv[2], O_WRONLY | O_CREAT | O_TRUNC, 0666) < 0)
        return 1;

    length = append(report, length, "\n  Input file: ");
    length = append(report, length, argv[1]);
    length = append(report, length, "\n Output file: ");
    length = append(report, length, argv[2]);
    length = append(report, length, "\n");
    return write(STDOUT_FILENO, report, length) == (ssize_t)length ? 0 : 1;
}

// SPDX-FileCopyrightText: 2026 The kun2wyt authors
// SPDX-License-Identifier: MIT

#include "kun2wyt.hpp"

#include "output_naming.hpp"

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <cstddef>
#include <string_view>
#include <utility>

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

namespace kun2wyt {

// Not defined, and not constexpr: a call to it stops the build of a wrong message.
void message_has_the_wrong_number_of_marks();

namespace {

// A message with `Names` places marked "%s" where file names go. The marks are only ever split
// at; no text here, and no file name, is used as a format.
template <std::size_t Names>
struct message {
    std::string_view text;

    explicit consteval message(char const* literal) : text(literal)
    {
        std::size_t marks = 0;
        for (auto at = text.find("%s"); at != std::string_view::npos; at = text.find("%s", at + 2)) {
            ++marks;
        }
        if (marks != Names) {
            message_has_the_wrong_number_of_marks();
        }
    }
};

// Every text the program prints.
constexpr message<0> usage_text{
    "\n"
    "Usage: kun2wyt <input_file_name> [options]\n"
    "  Possible options: -n  (assume negative parity for all levels)\n"
    "                    -p  (assume positive parity for all levels, = default)\n"
    "                    -b  (use branching ratio for transition width, = default)\n"
    "                    -e  (use B(E2) for transition width)\n"
    "                    -m  (use B(M1) for transition width)\n"
    "                    -h  (help; generate this output)\n"
    "                    -o  <output_file_name>\n"
    "  (default output_file_name = input-file-name with .wyt extension)\n"};
constexpr message<1> input_open_error{"\nERROR: cannot open input file %s for reading...\n"};
constexpr message<0> output_name_missing_error{"\nERROR: output file name is missing...\n"};
constexpr message<1> output_open_error{"\nERROR: cannot open output file %s for writing...\n"};
constexpr message<1> output_is_input_error{"\nERROR: output file %s would overwrite the input file...\n"};
constexpr message<1> output_is_an_input_error{"\nERROR: output file %s would overwrite an input file...\n"};
constexpr message<2> report{"\n  Input file: %s\n Output file: %s\n"};

// An argument counts as an option when it contains one of these anywhere. The conversion choices
// are tested first, so an argument holding one of them and "-o" as well is a conversion choice.
constexpr std::array<std::string_view, 5> conversion_options{"-n", "-p", "-b", "-m", "-e"};
constexpr std::string_view output_option = "-o";

// A derived output name in full, folder included.
using derived_path = bounded_name<PATH_MAX + output_extension.size()>;

// Output files are created with these permissions, less the umask, as any new file is.
constexpr mode_t new_file_mode = S_IRUSR | S_IWUSR | S_IRGRP | S_IWGRP | S_IROTH | S_IWOTH;

// Writes the message with the names put in place of its marks. Whether the write succeeds does
// not change the outcome of the run: a reader that has gone away or a full device loses the
// text, not the status.
template <std::size_t Names>
void say(int out, message<Names> const& what, auto... names) noexcept
{
    static_assert(sizeof...(names) == Names);
    std::array<std::string_view, Names> const inserted{std::string_view(names)...};
    std::array<iovec, (2 * Names) + 1> pieces{};
    std::size_t from = 0;
    for (std::size_t i = 0; i < Names; ++i) {
        auto const mark = what.text.find("%s", from);
        pieces[2 * i] = {const_cast<char*>(what.text.data() + from), mark - from};
        pieces[(2 * i) + 1] = {const_cast<char*>(inserted[i].data()), inserted[i].size()};
        from = mark + 2;
    }
    pieces.back() = {const_cast<char*>(what.text.data() + from), what.text.size() - from};

    std::span<iovec> left{pieces};
    while (!left.empty()) {
        auto const written = ::writev(out, left.data(), static_cast<int>(left.size()));
        if (written < 0 && errno == EINTR) {
            continue;
        }
        // A non-blocking descriptor that is full takes the rest once its reader catches up, as
        // a blocking one would. (Linux says EAGAIN, and EWOULDBLOCK is the same number there,
        // so the second test is never what decides: it is left out of the coverage count.)
        if (written < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) { // GCOVR_EXCL_BR_LINE
            pollfd ready{.fd = out, .events = POLLOUT, .revents = 0};
            int const ready_count = ::poll(&ready, 1, -1);
            if ((ready_count > 0 && (ready.revents & POLLOUT) != 0) || (ready_count < 0 && errno == EINTR)) {
                continue;
            }
        }
        if (written <= 0) {
            return;
        }
        auto done = static_cast<std::size_t>(written);
        while (!left.empty() && done >= left.front().iov_len) {
            done -= left.front().iov_len;
            left = left.subspan(1);
        }
        if (!left.empty()) {
            left.front().iov_base = static_cast<char*>(left.front().iov_base) + done;
            left.front().iov_len -= done;
        }
    }
}

[[nodiscard]] bool contains(std::string_view argument, std::string_view option) noexcept
{
    return argument.find(option) != std::string_view::npos;
}

[[nodiscard]] bool is_conversion_option(std::string_view argument) noexcept
{
    return std::ranges::any_of(
        conversion_options, [argument](std::string_view option) { return contains(argument, option); });
}

// Owns an open descriptor and closes it when it goes.
class unique_fd {
public:
    explicit unique_fd(int fd = -1) noexcept : fd_(fd) {}
    unique_fd(unique_fd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    unique_fd& operator=(unique_fd&& other) noexcept
    {
        unique_fd old(std::exchange(fd_, std::exchange(other.fd_, -1)));
        return *this;
    }
    unique_fd(unique_fd const&) = delete;
    unique_fd& operator=(unique_fd const&) = delete;
    ~unique_fd()
    {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }

    [[nodiscard]] int get() const noexcept { return fd_; }
    [[nodiscard]] explicit operator bool() const noexcept { return fd_ >= 0; }

private:
    int fd_;
};

[[nodiscard]] bool same_file(struct stat const& a, struct stat const& b) noexcept
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Whether `name`, given after "-o", may be emptied; says why not when it may not. `kun2wyt *.kun`
// in a folder holding 2024-oct.kun takes the next input as the output ("-o" is in that name), so a
// file named as an input that holds data is taken for one and never emptied. The input itself is
// left to create_output, whose refusal names it as such. A name that cannot be looked at cannot
// be opened either, and is refused as it would be then.
[[nodiscard]] bool spares_other_inputs(char const* name, struct stat const& input, int out) noexcept
{
    std::string_view const shown = name;
    if (std::ranges::none_of(
            input_extensions, [shown](std::string_view ext) { return shown.ends_with(ext); })) {
        return true;
    }
    struct stat found {};
    if (::stat(name, &found) != 0) {
        if (errno == ENOENT) {
            return true; // a new file, which loses nothing
        }
        say(out, output_open_error, name);
        return false;
    }
    if (!S_ISREG(found.st_mode) || found.st_size == 0 || same_file(found, input)) {
        return true;
    }
    say(out, output_is_an_input_error, name);
    return false;
}

// Creates the output file `name`, or empties it, and says why when it cannot. The file is opened
// without truncation and emptied only once it is known not to be the input file under another
// name, so that no mistake on the command line can lose the input.
[[nodiscard]] unique_fd create_output(char const* name, struct stat const& input, int out) noexcept
{
    unique_fd file(::open(name, O_WRONLY | O_CREAT | O_CLOEXEC | O_NOCTTY, new_file_mode));
    struct stat opened {};
    if (!file || ::fstat(file.get(), &opened) != 0) {
        say(out, output_open_error, name);
        return unique_fd();
    }
    // Devices and pipes (/dev/null, say) have nothing to empty, so only a regular file can lose
    // anything, and only such a file is refused when it is the input.
    if (!S_ISREG(opened.st_mode)) {
        return file;
    }
    if (same_file(opened, input)) {
        say(out, output_is_input_error, name);
        return unique_fd();
    }
    if (::ftruncate(file.get(), 0) != 0) {
        say(out, output_open_error, name);
        return unique_fd();
    }
    return file;
}

} // namespace

int run(std::span<char const* const> args, int out) noexcept
{
    if (args.size() < 2) {
        say(out, usage_text);
        return exit_failure;
    }

    // The input is opened, and only opened, before any option is looked at, so that a bad input
    // name is what gets reported. A directory opens for reading too, but holds no level scheme.
    char const* const input_name = args[1];
    unique_fd const input(::open(input_name, O_RDONLY | O_CLOEXEC | O_NOCTTY));
    struct stat input_file {};
    if (!input || ::fstat(input.get(), &input_file) != 0 || S_ISDIR(input_file.st_mode)) {
        say(out, input_open_error, input_name);
        say(out, usage_text);
        return exit_failure;
    }

    // Each output file is created the moment its "-o" is met; with several, all are created and
    // the last one is reported.
    unique_fd output;
    output_name shown_output_name;
    for (std::size_t i = 2; i < args.size(); ++i) {
        std::string_view const argument = args[i];
        if (is_conversion_option(argument)) {
            continue; // accepted: these choose how levels are converted, which is not done here
        }
        if (!contains(argument, output_option)) {
            say(out, usage_text);
            return exit_failure;
        }
        // The name is always the next argument, never text joined to the option, and it is
        // taken as a name even when it looks like an option.
        if (i + 1 == args.size()) {
            say(out, output_name_missing_error);
            return exit_failure;
        }
        char const* const name = args[++i];
        if (!spares_other_inputs(name, input_file, out)) {
            return exit_failure;
        }
        output = create_output(name, input_file, out);
        if (!output) {
            return exit_failure;
        }
        shown_output_name = output_name(name);
    }

    if (!output) {
        auto const derived = default_output_name(input_name);
        // The input name opened, so it is shorter than PATH_MAX, and the derived name is at most
        // the four bytes of ".wyt" longer: it always fits. Were it ever cut, it would name
        // another file, so it would be refused rather than opened.
        derived_path const path(derived.folder, derived.file.view());
        // GCOVR_EXCL_START: as said above, no run can get here
        if (!path.whole()) {
            say(out, output_open_error, path.view());
            return exit_failure;
        }
        // GCOVR_EXCL_STOP
        output = create_output(path.c_str(), input_file, out);
        if (!output) {
            return exit_failure;
        }
        shown_output_name = output_name(path.view());
    }

    say(out, report, input_name, shown_output_name.view());
    return exit_success;
}

} // namespace kun2wyt

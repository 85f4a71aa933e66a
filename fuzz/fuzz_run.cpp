// SPDX-FileCopyrightText: 2026 The kun2wyt authors
// SPDX-License-Identifier: MIT

// Whole runs on argument vectors made from the fuzz input (arguments split at NUL bytes), each in
// the same freshly laid scratch folder, checking after every run what the program promises:
//  - the status is 0 exactly when the report was printed;
//  - the input file, under any of its names, keeps its content, and so does another input;
//  - no file changes or appears other than the named or derived output files, which are empty;
//  - nothing goes to standard error, and no descriptor is left open.
// Names are kept inside the scratch folder: absolute paths and ".." are rewritten, so that no
// run can reach a file outside it. Inside it they may be as long as a path can be: the folder
// holds nested folders with long names, and an argument may run past PATH_MAX.
#include "folder_snapshot.hpp"
#include "kun2wyt.hpp"
#include "output_naming.hpp"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

constexpr std::size_t most_arguments = 8;
constexpr std::size_t longest_argument = 4200;
std::string const level_scheme = "511.2 2 +\n";
// Long enough that the whole path is over 250 bytes; run.dict names its parts.
std::string const deep_folder = "d/" + std::string(120, 'e') + "/" + std::string(120, 'f');

void require(bool holds)
{
    if (!holds) {
        std::abort();
    }
}

void set_up_scratch()
{
    for (auto const& entry : fs::directory_iterator(".")) {
        fs::remove_all(entry.path());
    }
    std::ofstream("in.kun") << level_scheme;
    std::ofstream("old.wyt") << "stale\n";
    std::ofstream("b.KUN") << level_scheme;
    fs::create_directory("sub");
    fs::create_hard_link("in.kun", "hard.kun");
    fs::create_symlink("in.kun", "link.kun");
    fs::create_directories(deep_folder);
    std::ofstream(deep_folder + "/in.kun") << level_scheme;
}

std::string read_memfd(int fd)
{
    std::string text(static_cast<std::size_t>(::lseek(fd, 0, SEEK_END)), '\0');
    require(::pread(fd, text.data(), text.size(), 0) == static_cast<ssize_t>(text.size()));
    return text;
}

// Names stay inside the scratch folder.
std::string confined(std::string_view raw)
{
    std::string argument(raw.substr(0, longest_argument));
    for (std::size_t at; (at = argument.find("..")) != std::string::npos;) {
        argument.replace(at, 2, "__");
    }
    if (argument.starts_with('/')) {
        argument[0] = '_';
    }
    return argument;
}

bool same_file(std::string const& a, std::string const& b)
{
    struct stat sa {};
    struct stat sb {};
    return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev
        && sa.st_ino == sb.st_ino;
}

int open_descriptors()
{
    int count = 0;
    for (auto const& entry : fs::directory_iterator("/proc/self/fd")) {
        (void)entry;
        ++count;
    }
    return count;
}

} // namespace

// Runs happen inside it; the fuzzer's own files (corpus, artifacts) stay where it was started.
fs::path const& scratch()
{
    static struct folder {
        fs::path path = fs::temp_directory_path() / ("kun2wyt-fuzz-" + std::to_string(::getpid()));
        folder() { fs::create_directories(path); }
        folder(folder const&) = delete;
        folder& operator=(folder const&) = delete;
        ~folder() { fs::remove_all(path); }
    } const dir;
    return dir.path;
}

extern "C" int LLVMFuzzerTestOneInput(std::uint8_t const* data, std::size_t size)
{
    std::vector<std::string> arguments{"kun2wyt"};
    std::string_view rest(reinterpret_cast<char const*>(data), size);
    while (!rest.empty() && arguments.size() <= most_arguments) {
        auto const end = std::min(rest.find('\0'), rest.size());
        arguments.push_back(confined(rest.substr(0, end)));
        rest.remove_prefix(std::min(end + 1, rest.size()));
    }
    std::vector<char const*> argv;
    std::ranges::transform(arguments, std::back_inserter(argv), &std::string::c_str);

    auto const started_in = fs::current_path();
    fs::current_path(scratch());
    // The folder is set up again only after a run that changed it: most runs change nothing.
    static auto const before = [] {
        set_up_scratch();
        return folder_snapshot(".");
    }();
    static bool changed = false;
    if (changed) {
        set_up_scratch();
    }
    int const descriptors = open_descriptors();
    int const out = ::memfd_create("out", MFD_CLOEXEC);
    int const err = ::memfd_create("err", MFD_CLOEXEC);
    int const saved_stderr = ::dup(STDERR_FILENO);
    require(out >= 0 && err >= 0 && saved_stderr >= 0);

    ::dup2(err, STDERR_FILENO);
    int const status = kun2wyt::run(argv, out);
    ::dup2(saved_stderr, STDERR_FILENO);
    ::close(saved_stderr);

    auto const printed = read_memfd(out);
    require(read_memfd(err).empty());
    ::close(out);
    ::close(err);
    require(open_descriptors() == descriptors);

    require(status == 0 || status == 1);
    require((status == 0) == printed.starts_with("\n  Input file: "));

    // Every output file this run could have made: each argument (any may follow a "-o") and the
    // name derived from the input.
    std::vector<std::string> outputs(arguments.begin() + 1, arguments.end());
    if (arguments.size() > 1) {
        auto const [folder, file] = kun2wyt::default_output_name(arguments[1]);
        outputs.emplace_back(std::string(folder) + std::string(file.view()));
    }
    auto const after = folder_snapshot(".");
    changed = after != before;
    for (auto const& [path, content] : after) {
        auto const was = before.find(path);
        if (was != before.end() && was->second == content) {
            continue;
        }
        require(content.empty());
        require(!path.ends_with('/'));
        bool named = false;
        for (auto const& output : outputs) {
            named = named || same_file(output, path);
        }
        require(named);
    }
    require(after.at("in.kun") == level_scheme);
    require(after.at("hard.kun") == level_scheme);
    require(after.at("b.KUN") == level_scheme);
    require(after.at("link.kun") == "-> in.kun");
    require(after.at(deep_folder + "/in.kun") == level_scheme);
    fs::current_path(started_in);
    return 0;
}

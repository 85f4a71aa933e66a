// SPDX-FileCopyrightText: 2026 The kun2wyt authors
// SPDX-License-Identifier: MIT

// The program end to end: each case runs the built binary in a fresh scratch folder and compares
// its status, every byte it wrote, and every file in the folder afterwards.
#include "folder_snapshot.hpp"

#include <gtest/gtest.h>

#include <array>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <fcntl.h>
#include <grp.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// The program's texts, written out again here so that a slip in either copy shows; the usage
// text, byte for byte, is kept in usage.txt beside this file.
std::string const usage = [] {
    std::ostringstream text;
    text << std::ifstream(USAGE_TXT, std::ios::binary).rdbuf();
    return text.str();
}();
std::string const missing = "\nERROR: output file name is missing...\n";
std::string in_error(std::string const& name)
{
    return "\nERROR: cannot open input file " + name + " for reading...\n" + usage;
}
std::string out_error(std::string const& name)
{
    return "\nERROR: cannot open output file " + name + " for writing...\n";
}
std::string same_error(std::string const& name)
{
    return "\nERROR: output file " + name + " would overwrite the input file...\n";
}
std::string other_error(std::string const& name)
{
    return "\nERROR: output file " + name + " would overwrite an input file...\n";
}
std::string report(std::string const& in, std::string const& out)
{
    return "\n  Input file: " + in + "\n Output file: " + out + "\n";
}

std::string const level_scheme = "511.2 2 +\n";
std::string const long_name = std::string(250, 'L') + ".wyt"; // derives its own name
std::string const dotted = [] {
    std::string s;
    for (int i = 0; i < 130; ++i) {
        s += "./";
    }
    return s;
}();

// What every scratch folder holds before the run, as the snapshot below writes it down.
std::map<std::string, std::string> const initial_files = {
    {"in.kun", level_scheme},
    {"old.wyt", "stale\n"},
    {"sub/", ""},
    {"hard.kun", level_scheme},
    {"link.kun", "-> in.kun"},
    {long_name, level_scheme},
    {"2024-aug.kun", level_scheme},
    {"2024-oct.kun", level_scheme},
    {"2024-sep.kun", level_scheme},
    {"RUN2.KUN", level_scheme},
    {"alias.kun", "-> RUN2.KUN"},
    {"empty.kun", ""},
    {"run2.kunx", level_scheme},
    {"box.kun/", ""},
};

enum class stdout_kind { captured, closed, broken_pipe, full, full_nonblocking_pipe };

struct outcome {
    int status = -1;
    std::string out;
    std::string err;
    std::map<std::string, std::string> files;
};

// Whether the process is blocked in poll(): by where in the kernel it sleeps, which holds also
// for a program run by an emulator that makes the call on its behalf, or else by the system
// call /proc says it is in (where a kernel does not show the place).
bool in_poll(pid_t pid)
{
    std::string const proc = "/proc/" + std::to_string(pid);
    std::string where;
    std::ifstream(proc + "/wchan") >> where;
    if (where.find("poll") != std::string::npos) {
        return true;
    }
    long call = -1;
    std::ifstream(proc + "/syscall") >> call; // "running" reads as none
#ifdef SYS_poll
    if (call == SYS_poll) {
        return true;
    }
#endif
    return call == SYS_ppoll;
}

// Waits until the child waits in poll(), or has ended (and is left to be reaped).
void wait_until_polling_or_ended(pid_t child)
{
    for (;;) {
        siginfo_t ended{};
        if (in_poll(child)
            || (::waitid(P_PID, static_cast<id_t>(child), &ended, WEXITED | WNOHANG | WNOWAIT) == 0
                && ended.si_pid == child)) {
            return;
        }
        ::sched_yield();
    }
}

std::string read_all(int fd)
{
    std::string text;
    std::array<char, 4096> chunk{};
    for (ssize_t n; (n = ::read(fd, chunk.data(), chunk.size())) != 0;) {
        if (n < 0 && errno != EINTR) {
            break;
        }
        if (n > 0) {
            text.append(chunk.data(), static_cast<std::size_t>(n));
        }
    }
    ::close(fd);
    return text;
}

struct cli_case {
    std::vector<std::string> args;
    int status;
    std::string out;
    std::vector<std::string> emptied; // output files created or emptied by the run; all else stays
};

class scratch : public testing::Test {
protected:
    void SetUp() override
    {
        std::string pattern = (fs::temp_directory_path() / "kun2wyt-test-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
        std::ofstream(dir_ / "in.kun") << level_scheme;
        std::ofstream(dir_ / "old.wyt") << "stale\n";
        std::ofstream(dir_ / long_name) << level_scheme;
        fs::create_directory(dir_ / "sub");
        fs::create_hard_link(dir_ / "in.kun", dir_ / "hard.kun");
        fs::create_symlink("in.kun", dir_ / "link.kun");
        // Other inputs, among them names that hold "-o", as a glob of *.kun hands them over.
        for (auto const* other : {"2024-aug.kun", "2024-oct.kun", "2024-sep.kun", "RUN2.KUN", "run2.kunx"}) {
            std::ofstream(dir_ / other) << level_scheme;
        }
        fs::create_symlink("RUN2.KUN", dir_ / "alias.kun");
        std::ofstream(dir_ / "empty.kun").flush();
        fs::create_directory(dir_ / "box.kun");
    }
    void TearDown() override { fs::remove_all(dir_); }

    // Runs kun2wyt with `args` in the scratch folder, standard output as `kind`, and standard
    // input and error closed when asked.
    outcome run(std::vector<std::string> const& args, stdout_kind kind = stdout_kind::captured,
        bool close_others = false)
    {
        std::array<int, 2> out{};
        std::array<int, 2> err{};
        if (::pipe(out.data()) != 0 || ::pipe(err.data()) != 0) {
            return {};
        }
        if (kind == stdout_kind::broken_pipe) {
            ::close(out[0]);
        } // no reader, before the first write
        std::size_t filled = 0; // a full non-blocking pipe: the run must wait until it is read
        if (kind == stdout_kind::full_nonblocking_pipe) {
            ::fcntl(out[1], F_SETFL, O_NONBLOCK);
            std::array<char, 4096> const filler{};
            for (ssize_t n; (n = ::write(out[1], filler.data(), filler.size())) > 0;) {
                filled += static_cast<std::size_t>(n);
            }
        }
        pid_t const child = ::fork();
        if (child == 0) {
            std::vector<char*> argv{program_.data()};
            for (auto const& a : args) {
                argv.push_back(const_cast<char*>(a.c_str()));
            }
            argv.push_back(nullptr);
            (void)::signal(SIGPIPE, SIG_DFL);
            if (::chdir(dir_.c_str()) != 0) {
                ::_exit(127);
            }
            if (kind == stdout_kind::full) {
                ::dup2(::open("/dev/full", O_WRONLY), STDOUT_FILENO);
            } else if (kind == stdout_kind::closed) {
                ::close(STDOUT_FILENO);
            } else {
                ::dup2(out[1], STDOUT_FILENO);
            }
            ::dup2(err[1], STDERR_FILENO);
            // Root opens everything; the permission cases need an ordinary user's refusals.
            if (as_ordinary_user_ && ::geteuid() == 0
                && (::setgroups(0, nullptr) != 0 || ::setgid(nobody) != 0 || ::setuid(nobody) != 0)) {
                ::_exit(126);
            }
            rlimit const files{open_files_, open_files_};
            if (open_files_ != 0 && ::setrlimit(RLIMIT_NOFILE, &files) != 0) {
                ::_exit(125);
            }
            if (close_others) {
                ::close(STDIN_FILENO);
                ::close(STDERR_FILENO);
            }
            ::closefrom(3);
            ::execv(argv[0], argv.data());
            ::_exit(127);
        }
        ::close(out[1]);
        ::close(err[1]);
        // The run must find the pipe full: it is drained only once the run waits for it.
        if (kind == stdout_kind::full_nonblocking_pipe) {
            wait_until_polling_or_ended(child);
        }
        outcome result;
        if (kind != stdout_kind::broken_pipe) {
            result.out = read_all(out[0]).substr(filled);
        }
        result.err = read_all(err[0]);
        int wstatus = 0;
        ::waitpid(child, &wstatus, 0);
        result.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : 128 + WTERMSIG(wstatus);
        result.files = folder_snapshot(dir_);
        return result;
    }

    // Runs the case, and checks its status and output, that nothing went to standard error, and
    // that in the folder only the files it names changed, to empty.
    void expect(cli_case const& c)
    {
        auto expected_files = folder_snapshot(dir_);
        for (auto const& name : c.emptied) {
            expected_files[name] = "";
        }
        auto const result = run(c.args);
        EXPECT_EQ(result.status, c.status);
        EXPECT_EQ(result.out, c.out);
        EXPECT_EQ(result.err, "");
        EXPECT_EQ(result.files, expected_files);
    }

    static constexpr uid_t nobody = 65534;
    // The build's program, or another build of it named in KUN2WYT_PROGRAM (the portable one).
    std::string program_
        = std::getenv("KUN2WYT_PROGRAM") != nullptr ? std::getenv("KUN2WYT_PROGRAM") : KUN2WYT_BINARY;
    fs::path dir_;
    bool as_ordinary_user_ = false;
    rlim_t open_files_ = 0; // the child's limit on open descriptors; 0 leaves it as it is
};

void PrintTo(cli_case const& c, std::ostream* os)
{
    *os << "kun2wyt";
    for (auto const& a : c.args) {
        *os << " '" << a << "'";
    }
}

class command_line : public scratch, public testing::WithParamInterface<cli_case> {};

TEST_P(command_line, status_output_and_files)
{
    expect(GetParam());
}

cli_case const options[] = {
    {{"in.kun"}, 0, report("in.kun", "in.wyt"), {"in.wyt"}},
    {{"in.kun", "-n", "-p", "-b", "-m", "-e"}, 0, report("in.kun", "in.wyt"), {"in.wyt"}},
    {{"in.kun", "-nb", "--n", "x-n", "my-notes"}, 0, report("in.kun", "in.wyt"), {"in.wyt"}},
    {{"in.kun", "-nbe", "-x-m"}, 0, report("in.kun", "in.wyt"), {"in.wyt"}},
    {{"in.kun", "-o-e"}, 0, report("in.kun", "in.wyt"), {"in.wyt"}}, // "-e" is tested before "-o"
    {{"in.kun", "--output", "x.x"}, 0, report("in.kun", "x.x"), {"x.x"}},
    {{"in.kun", "run-out", "x.x"}, 0, report("in.kun", "x.x"), {"x.x"}},
    {{"in.kun", "-h"}, 1, usage, {}},
    {{"in.kun", "-N"}, 1, usage, {}}, // case matters
    {{"in.kun", "-O", "x.x"}, 1, usage, {}},
    {{"in.kun", ""}, 1, usage, {}},
    {{"in.kun", "-n", "-z"}, 1, usage, {}},
};
INSTANTIATE_TEST_SUITE_P(options, command_line, testing::ValuesIn(options));

cli_case const output_option[] = {
    {{"in.kun", "-o", "out.x"}, 0, report("in.kun", "out.x"), {"out.x"}},
    {{"in.kun", "-o", "old.wyt"}, 0, report("in.kun", "old.wyt"), {"old.wyt"}},
    {{"in.kun", "-o", "a.x", "-o", "b.x"}, 0, report("in.kun", "b.x"), {"a.x", "b.x"}},
    {{"in.kun", "-o", "-n"}, 0, report("in.kun", "-n"), {"-n"}},
    {{"in.kun", "-o", "-h", "-e"}, 0, report("in.kun", "-h"), {"-h"}},
    {{"in.kun", "-oout.x", "y.x"}, 0, report("in.kun", "y.x"), {"y.x"}},
    {{"in.kun", "-o", "/dev/null"}, 0, report("in.kun", "/dev/null"), {}},
    {{"/dev/null", "-o", "/dev/null"}, 0, report("/dev/null", "/dev/null"), {}}, // nothing to lose
    {{"/proc/version", "-o", "out.x"}, 0, report("/proc/version", "out.x"), {"out.x"}}, // another device
    {{"in.kun", "-o", dotted + "long.x"}, 0, report("in.kun", (dotted + "long.x").substr(0, 255)),
        {"long.x"}},
    {{"in.kun", "-o"}, 1, missing, {}},
    {{"in.kun", "-oout.x"}, 1, missing, {}},
    {{"in.kun", "-o", "a.x", "-o"}, 1, missing, {"a.x"}},
    {{"in.kun", "-o", "a.x", "-z"}, 1, usage, {"a.x"}},
    {{"in.kun", "-o", ""}, 1, out_error(""), {}},
    {{"in.kun", "-o", "nodir/x.x"}, 1, out_error("nodir/x.x"), {}},
    {{"in.kun", "-o", "sub"}, 1, out_error("sub"), {}},
    {{"in.kun", "-o", std::string(256, 'n')}, 1, out_error(std::string(256, 'n')), {}},
};
INSTANTIATE_TEST_SUITE_P(output_option, command_line, testing::ValuesIn(output_option));

cli_case const failure_order[] = {
    {{}, 1, usage, {}},
    {{"-h"}, 1, in_error("-h"), {}},
    {{"none.kun", "-z"}, 1, in_error("none.kun"), {}},
    {{"none.kun", "-o", "x.x"}, 1, in_error("none.kun"), {}},
    {{"sub"}, 1, in_error("sub"), {}}, // a folder is no input file
    {{"in.kun", "-h", "-o", "x.x"}, 1, usage, {}},
};
INSTANTIATE_TEST_SUITE_P(failure_order, command_line, testing::ValuesIn(failure_order));

// However the output names the input, the input keeps its content.
cli_case const input_kept[] = {
    {{"in.kun", "-o", "in.kun"}, 1, same_error("in.kun"), {}},
    {{"in.kun", "-o", "./in.kun"}, 1, same_error("./in.kun"), {}},
    {{"in.kun", "-o", "hard.kun"}, 1, same_error("hard.kun"), {}},
    {{"in.kun", "-o", "link.kun"}, 1, same_error("link.kun"), {}},
    {{"link.kun", "-o", "in.kun"}, 1, same_error("in.kun"), {}},
    {{"in.kun", "-o", "a.x", "-o", "in.kun"}, 1, same_error("in.kun"), {"a.x"}},
    {{long_name}, 1, same_error(long_name), {}},
    {{"link.kun"}, 0, report("link.kun", "link.wyt"), {"link.wyt"}},
    // Another input that holds data is never taken for an output: `kun2wyt *.kun` is no batch.
    {{"2024-aug.kun", "2024-oct.kun", "2024-sep.kun"}, 1, other_error("2024-sep.kun"), {}},
    {{"in.kun", "-o", "RUN2.KUN"}, 1, other_error("RUN2.KUN"), {}},
    {{"in.kun", "-o", "alias.kun"}, 1, other_error("alias.kun"), {}},
    {{"in.kun", "-o", "a.x", "-o", "2024-sep.kun", "-o", "b.x"}, 1, other_error("2024-sep.kun"), {"a.x"}},
    {{"in.kun", "-o", "empty.kun"}, 0, report("in.kun", "empty.kun"), {"empty.kun"}},
    {{"in.kun", "-o", "new.kun"}, 0, report("in.kun", "new.kun"), {"new.kun"}},
    {{"in.kun", "-o", "run2.kunx"}, 0, report("in.kun", "run2.kunx"), {"run2.kunx"}},
    {{"in.kun", "-o", "box.kun"}, 1, out_error("box.kun"), {}},
    {{"in.kun", "-o", "in.kun/x.kun"}, 1, out_error("in.kun/x.kun"), {}},
};
INSTANTIATE_TEST_SUITE_P(input_kept, command_line, testing::ValuesIn(input_kept));

// What an ordinary user may not read, write or search gives its message and changes nothing.
class as_ordinary_user : public scratch, public testing::WithParamInterface<cli_case> {
protected:
    void SetUp() override
    {
        // The cases lay out their own modes; the builder's umask (077, say) must not take away
        // what they grant the user.
        umask_ = ::umask(022);
        scratch::SetUp();
        as_ordinary_user_ = true;
        if (::geteuid() == 0) { // the folder is the user's own; what is in it is not
            ASSERT_EQ(::chown(dir_.c_str(), nobody, nobody), 0);
            // The build tree may lie in a folder the user cannot enter: run a copy from one it can.
            std::string pattern = (fs::temp_directory_path() / "kun2wyt-bin-XXXXXX").string();
            ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
            program_dir_ = pattern;
            fs::permissions(program_dir_,
                fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec | fs::perms::others_read
                    | fs::perms::others_exec);
            fs::copy_file(program_, program_dir_ / "kun2wyt");
            program_ = (program_dir_ / "kun2wyt").string();
            // Readable too: an emulator started through binfmt_misc reads it as the user.
            fs::permissions(program_,
                fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec | fs::perms::others_read
                    | fs::perms::others_exec);
        }
        std::ofstream(dir_ / "locked.kun") << level_scheme;
        fs::permissions(dir_ / "locked.kun", fs::perms::none);
        fs::create_directory(dir_ / "ro");
        std::ofstream(dir_ / "ro" / "in.kun") << level_scheme;
        fs::permissions(dir_ / "ro",
            fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read | fs::perms::group_exec
                | fs::perms::others_read | fs::perms::others_exec);
        for (auto const* kept : {"readonly.wyt", "rd.wyt"}) {
            std::ofstream(dir_ / kept) << "kept\n";
            fs::permissions(
                dir_ / kept, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
        }
        std::ofstream(dir_ / "rd.kun") << level_scheme;
        fs::create_directory(dir_ / "nosearch");
        std::ofstream(dir_ / "nosearch" / "in.kun") << level_scheme;
        fs::permissions(dir_ / "nosearch",
            fs::perms::all & ~(fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec));
    }
    void TearDown() override
    {
        fs::permissions(dir_ / "nosearch", fs::perms::owner_all);
        fs::permissions(dir_ / "ro", fs::perms::owner_all);
        if (!program_dir_.empty()) {
            fs::remove_all(program_dir_);
        }
        scratch::TearDown();
        ::umask(umask_);
    }

    fs::path program_dir_;
    mode_t umask_ = 0;
};

TEST_P(as_ordinary_user, status_output_and_files)
{
    expect(GetParam());
}

cli_case const permissions[] = {
    {{"in.kun"}, 0, report("in.kun", "in.wyt"), {"in.wyt"}}, // the user's own folder takes it
    {{"locked.kun"}, 1, in_error("locked.kun"), {}},
    {{"ro/in.kun"}, 1, out_error("ro/in.wyt"), {}},
    {{"in.kun", "-o", "ro/x.x"}, 1, out_error("ro/x.x"), {}},
    {{"in.kun", "-o", "a.x", "-o", "ro/x.x"}, 1, out_error("ro/x.x"), {"a.x"}},
    {{"in.kun", "-o", "readonly.wyt"}, 1, out_error("readonly.wyt"), {}},
    {{"in.kun", "-o", "locked.kun"}, 1, other_error("locked.kun"), {}}, // refused before it is opened
    {{"rd.kun"}, 1, out_error("rd.wyt"), {}},
    {{"nosearch/in.kun"}, 1, in_error("nosearch/in.kun"), {}},
    {{"in.kun", "-o", "nosearch/x.x"}, 1, out_error("nosearch/x.x"), {}},
};
INSTANTIATE_TEST_SUITE_P(permissions, as_ordinary_user, testing::ValuesIn(permissions));

// Names are bytes: printed as they stand, never taken as a format.
cli_case const hostile_names[] = {
    {{"%s%n%x.kun"}, 1, in_error("%s%n%x.kun"), {}},
    {{"in.kun", "-o", "%n%s"}, 0, report("in.kun", "%n%s"), {"%n%s"}},
    {{"in.kun", "-o", "line\nbreak"}, 0, report("in.kun", "line\nbreak"), {"line\nbreak"}},
    {{"in.kun", "-o", "\xff\xfe.x"}, 0, report("in.kun", "\xff\xfe.x"), {"\xff\xfe.x"}},
    {{"-n.kun"}, 1, in_error("-n.kun"), {}},
};
INSTANTIATE_TEST_SUITE_P(hostile_names, command_line, testing::ValuesIn(hostile_names));

// A derived name keeps the input's folder whole, however long the path: the output lands beside
// the input, and no file elsewhere is touched.
TEST_F(scratch, derived_names_stay_beside_long_inputs)
{
    std::string const dddd = [] {
        std::string const d = std::string(60, 'd') + "/";
        return d + d + d + d; // 244 bytes
    }();
    std::string const e = std::string(249, 'e') + "/";
    std::string const f = std::string(200, 'f') + "/";
    std::string const g = std::string(100, 'g') + "/";
    struct long_case {
        std::string input;
        std::string derived;
        std::string decoy; // where cutting the whole path would have put the output
    };
    std::string const fg = f + g;
    std::string const cut_g = f + std::string(49, 'g') + ".wyt";
    std::vector<long_case> const cases{
        {dddd + "run1.kun", dddd + "run1.wyt", dddd + "run1.k.wyt"},
        {e + "in.kun", e + "in.wyt", e + ".wyt"},
        {fg + "x.kun", fg + "x.wyt", cut_g},
        {fg + std::string(251, 'x') + ".kun", fg + std::string(250, 'x') + ".wyt", cut_g},
    };
    for (auto const& [input, derived, decoy] : cases) {
        fs::create_directories(dir_ / fs::path(input).parent_path());
        std::ofstream(dir_ / input) << level_scheme;
        std::ofstream(dir_ / decoy) << "another run's output\n";
        auto expected = folder_snapshot(dir_);
        expected[derived] = "";

        auto const result = run({input});
        EXPECT_EQ(result.status, 0) << input;
        EXPECT_EQ(result.out, report(input, derived.substr(0, 255)));
        EXPECT_EQ(result.err, "");
        EXPECT_EQ(result.files, expected) << input;
        fs::remove_all(dir_ / input.substr(0, input.find('/')));
    }
}

// The report is lost, never the run: with nowhere to write it the output file is still made,
// empty, and the status says so.
TEST_F(scratch, surroundings_cost_the_report_not_the_run)
{
    auto expected_files = initial_files;
    expected_files["in.wyt"] = "";
    for (auto const kind : {stdout_kind::closed, stdout_kind::broken_pipe, stdout_kind::full}) {
        for (bool const close_others : {false, true}) {
            auto const result = run({"in.kun"}, kind, close_others);
            EXPECT_EQ(result.status, 0) << static_cast<int>(kind) << close_others;
            EXPECT_EQ(result.files, expected_files) << static_cast<int>(kind) << close_others;
            fs::remove(dir_ / "in.wyt");
        }
    }
    EXPECT_EQ(run({"in.kun", "-h"}, stdout_kind::broken_pipe).status, 1);
}

// Each "-o" file is closed when the next one takes its place, so that a run may name more output
// files than it may hold open at once.
TEST_F(scratch, each_output_is_closed_when_the_next_takes_its_place)
{
    open_files_ = 12;
    cli_case many{{"in.kun"}, 0, report("in.kun", "o12.x"), {}};
    for (int i = 1; i <= 12; ++i) {
        auto const name = "o" + std::to_string(i) + ".x";
        many.args.insert(many.args.end(), {"-o", name});
        many.emptied.push_back(name);
    }
    expect(many);
}

// A full pipe that does not block is waited for, as a blocking one would be: the report arrives.
TEST_F(scratch, a_full_nonblocking_output_gets_the_whole_report)
{
    auto const result = run({"in.kun"}, stdout_kind::full_nonblocking_pipe);
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, report("in.kun", "in.wyt"));
    EXPECT_EQ(result.err, "");
}

} // namespace

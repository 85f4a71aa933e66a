// SPDX-FileCopyrightText: 2026 The kun2wyt authors
// SPDX-License-Identifier: MIT

// Starts kun2wyt and the floor program alternately, many times each, and reports the median
// wall time of one run (spawn to exit) of each, their ratio, and each one's peak resident memory.
// Alternating keeps the machine's drift out of the ratio.
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

double spawn_once(std::vector<std::string> const& args)
{
    std::vector<char*> argv;
    std::ranges::transform(
        args, std::back_inserter(argv), [](auto const& a) { return const_cast<char*>(a.c_str()); });
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);

    auto const start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
        std::cerr << argv[0] << ": cannot start\n";
        std::exit(1);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    auto const stop = std::chrono::steady_clock::now();
    posix_spawn_file_actions_destroy(&actions);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::cerr << argv[0] << " did not succeed\n";
        std::exit(1);
    }
    return std::chrono::duration<double, std::micro>(stop - start).count();
}

double median(std::vector<double> values)
{
    std::nth_element(values.begin(), values.begin() + static_cast<long>(values.size() / 2), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::cerr << "usage: startup_bench KUN2WYT FLOOR [RUNS]\n";
        return 1;
    }
    std::string const program = fs::absolute(argv[1]);
    std::string const floor = fs::absolute(argv[2]);
    int const runs = argc > 3 ? std::stoi(argv[3]) : 2000;

    fs::path const dir = fs::temp_directory_path() / ("kun2wyt-bench-" + std::to_string(getpid()));
    fs::create_directories(dir);
    fs::current_path(dir);
    std::ofstream("run1.kun") << "511.2 2 +\n";

    std::vector<double> program_us;
    std::vector<double> floor_us;
    for (int i = 0; i < runs; ++i) {
        program_us.push_back(spawn_once({program, "run1.kun"}));
        floor_us.push_back(spawn_once({floor, "run1.kun", "run1.wyt"}));
    }
    fs::current_path("/");
    fs::remove_all(dir);

    double const p = median(program_us);
    double const f = median(floor_us);
    std::cout << std::fixed << std::setprecision(1) //
              << "runs each:        " << runs << ", alternating\n" //
              << "kun2wyt per run:  " << p << " us median\n" //
              << "floor per run:    " << f << " us median\n" //
              << std::setprecision(3) << "ratio:            " << p / f << " (kun2wyt / floor)\n";
    return 0;
}

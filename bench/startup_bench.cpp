// SPDX-FileCopyrightText: 2026 The kun2wyt authors
// SPDX-License-Identifier: MIT

// Starts kun2wyt and each reference program (the limit, a floor) in turn, many times each, and
// reports the median wall time of one run (spawn to exit) of each, and kun2wyt's ratio to each.
// Alternating keeps the machine's drift out of the ratios.
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
        std::cerr << "usage: startup_bench KUN2WYT REFERENCE... [RUNS]\n";
        return 1;
    }
    // Programs by path; a last argument that is a number is the count of runs.
    std::vector<std::string> programs(argv + 1, argv + argc);
    constexpr int default_runs = 2000;
    int runs = default_runs;
    if (programs.back().find_first_not_of("0123456789") == std::string::npos) {
        runs = std::stoi(programs.back());
        programs.pop_back();
    }
    for (auto& program : programs) {
        program = fs::absolute(program);
    }

    fs::path const dir = fs::temp_directory_path() / ("kun2wyt-bench-" + std::to_string(getpid()));
    fs::create_directories(dir);
    fs::current_path(dir);
    std::ofstream("run1.kun") << "511.2 2 +\n";

    // kun2wyt derives its output's name; the references are told it.
    std::vector<std::vector<double>> times(programs.size());
    for (int i = 0; i < runs; ++i) {
        times[0].push_back(spawn_once({programs[0], "run1.kun"}));
        for (std::size_t p = 1; p < programs.size(); ++p) {
            times[p].push_back(spawn_once({programs[p], "run1.kun", "run1.wyt"}));
        }
    }
    fs::current_path("/");
    fs::remove_all(dir);

    double const k = median(times[0]);
    std::cout << std::fixed << std::setprecision(1) //
              << "runs each:        " << runs << ", alternating\n" //
              << "kun2wyt per run:  " << k << " us median\n";
    for (std::size_t p = 1; p < programs.size(); ++p) {
        double const r = median(times[p]);
        std::cout << std::setprecision(1) << fs::path(programs[p]).filename().string() << " per run: " << r
                  << " us median; kun2wyt / it: " << std::setprecision(3) << k / r << "\n";
    }
    return 0;
}

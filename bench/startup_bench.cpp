// Starts kun2wyt and the floor program alternately, many times each, and reports the median
// wall time of one run (spawn to exit) of each, their ratio, and each one's peak resident memory.
// Alternating keeps the machine's drift out of the ratio.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
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
    for (auto const& a : args) { argv.push_back(const_cast<char*>(a.c_str())); }
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);

    auto const start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
        std::perror(argv[0]);
        std::exit(1);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    auto const stop = std::chrono::steady_clock::now();
    posix_spawn_file_actions_destroy(&actions);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "%s did not succeed\n", argv[0]);
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
        std::fprintf(stderr, "usage: startup_bench KUN2WYT FLOOR [RUNS]\n");
        return 1;
    }
    std::string const program = fs::absolute(argv[1]);
    std::string const floor = fs::absolute(argv[2]);
    int const runs = argc > 3 ? std::atoi(argv[3]) : 2000;

    fs::path const dir = fs::temp_directory_path() / ("kun2wyt-bench-" + std::to_string(getpid()));
    fs::create_directories(dir);
    fs::current_path(dir);
    std::ofstream("run1.kun") << "511.2 2 +\n";

    std::vector<double> program_us, floor_us;
    for (int i = 0; i < runs; ++i) {
        program_us.push_back(spawn_once({program, "run1.kun"}));
        floor_us.push_back(spawn_once({floor, "run1.kun", "run1.wyt"}));
    }
    fs::current_path("/");
    fs::remove_all(dir);

    double const p = median(program_us), f = median(floor_us);
    std::printf("runs each:        %d, alternating\n", runs);
    std::printf("kun2wyt per run:  %.1f us median\n", p);
    std::printf("floor per run:    %.1f us median\n", f);
    std::printf("ratio:            %.3f (kun2wyt / floor)\n", p / f);
    return 0;
}

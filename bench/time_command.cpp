// Runs a command and appends its wall-clock seconds and its processor seconds
// (user and system, its waited-for descendants included) to a file:
//
//   time_command TIMES_FILE COMMAND [ARGUMENT...]
//
// The processor time shows the work on a machine shared with other jobs,
// whose load stretches the wall-clock time.
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <chrono>
#include <fstream>
#include <iostream>

extern char** environ;

static double seconds(const timeval& time) {
    return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_usec) / 1e6;
}

int main(int argc, char** argv) {
    if (argc < 3) {
        std::cerr << "usage: time_command TIMES_FILE COMMAND [ARGUMENT...]\n";
        return 2;
    }
    const auto start = std::chrono::steady_clock::now();
    pid_t child = 0;
    if (posix_spawnp(&child, argv[2], nullptr, nullptr, argv + 2, environ) != 0) {
        std::cerr << "time_command: unable to start " << argv[2] << "\n";
        return 1;
    }
    int status = 0;
    rusage usage{};
    if (wait4(child, &status, 0, &usage) != child) {
        std::cerr << "time_command: lost " << argv[2] << "\n";
        return 1;
    }
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::ofstream times(argv[1], std::ios::app);
    times << wall << ' ' << seconds(usage.ru_utime) + seconds(usage.ru_stime) << '\n';
    return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}

#pragma once

// Shared by the benchmarks that time whole processes against a system tool.

#include "BenchRuns.h"

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

// Runs a program (found on PATH) with its output thrown away; the wall time in milliseconds, or
// -1 when it could not start or did not end with status 0.
inline double TimedRun(const char* program, std::vector<const char*> args)
{
    args.insert(args.begin(), program);
    args.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    const int spawned =
        posix_spawnp(&pid, program, &actions, nullptr, const_cast<char**>(args.data()), environ);
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    if (spawned != 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status) ||
        WEXITSTATUS(status) != 0)
        return -1;
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

// One side of a comparison: what the report calls it, and the program with its arguments.
struct TCommand
{
    const char* Label;
    const char* Program;
    std::vector<const char*> Args;
};

// Runs Ours and Theirs once each untimed, so that both find the files in the page cache, then
// Runs times each, ours first; prints Title with the median of each and their ratio. The exit
// status of the benchmark: 0 when Ours took at most Limit times what Theirs took, 1 above it,
// 2 when a run failed.
inline int CompareWholeProcesses(const char* title, int runs, const TCommand& ours,
                                 const TCommand& theirs, double limit)
{
    std::vector<double> ourTimes, theirTimes;
    for (int run = -1; run < runs; ++run) {
        const double our = TimedRun(ours.Program, ours.Args);
        const double their = TimedRun(theirs.Program, theirs.Args);
        if (our < 0 || their < 0) {
            std::fprintf(stderr, "a run of %s failed\n", our < 0 ? ours.Label : theirs.Label);
            return 2;
        }
        if (run >= 0) {
            ourTimes.push_back(our);
            theirTimes.push_back(their);
        }
    }
    const double our = Median(ourTimes);
    const double their = Median(theirTimes);
    std::printf("%s, whole processes, median of %d runs\n", title, runs);
    std::printf("  %-26s %8.2f ms\n", (std::string(ours.Label) + ':').c_str(), our);
    std::printf("  %-26s %8.2f ms\n", (std::string(theirs.Label) + ':').c_str(), their);
    std::printf("  ratio: %.2f (limit %.2f)\n", our / their, limit);
    return our / their <= limit ? 0 : 1;
}

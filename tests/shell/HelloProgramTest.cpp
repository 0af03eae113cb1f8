// The example program as a user starts it, with no display server reachable.
#include <gtest/gtest.h>

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

extern char** environ;

namespace {

struct Outcome {
    int exitCode;
    std::string errors;
};

// Runs trellis-hello with DISPLAY, WAYLAND_DISPLAY and TRELLIS_PLATFORM removed from the environment and `extra` added.
Outcome RunHello(const std::vector<std::string>& arguments, const std::string& extra)
{
    std::vector<std::string> environment;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        if (std::strncmp(*entry, "DISPLAY=", 8) != 0 && std::strncmp(*entry, "WAYLAND_DISPLAY=", 16) != 0 &&
            std::strncmp(*entry, "TRELLIS_PLATFORM=", 17) != 0) {
            environment.emplace_back(*entry);
        }
    }
    if (!extra.empty()) {
        environment.push_back(extra);
    }
    std::vector<char*> envp;
    for (auto& entry : environment) {
        envp.push_back(entry.data());
    }
    envp.push_back(nullptr);
    std::string program = TRELLIS_HELLO_PATH;
    std::vector<std::string> argumentCopies = arguments;
    std::vector<char*> argv{program.data()};
    for (auto& argument : argumentCopies) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);

    int errorPipe[2];
    if (pipe(errorPipe) != 0) {
        return Outcome{-1, "pipe failed"};
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, errorPipe[1], STDERR_FILENO);
    posix_spawn_file_actions_addclose(&actions, errorPipe[0]);
    pid_t child = 0;
    const int spawned = posix_spawn(&child, program.c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    close(errorPipe[1]);
    Outcome outcome{-1, ""};
    char buffer[256];
    ssize_t got = 0;
    while ((got = read(errorPipe[0], buffer, sizeof buffer)) > 0) {
        outcome.errors.append(buffer, static_cast<size_t>(got));
    }
    close(errorPipe[0]);
    int status = 0;
    if (spawned == 0 && waitpid(child, &status, 0) == child && WIFEXITED(status)) {
        outcome.exitCode = WEXITSTATUS(status);
    }
    return outcome;
}

TEST(HelloProgram, RunsHeadlessWithoutADisplayAndExitsZero)
{
    const Outcome outcome = RunHello({"-qaf=100"}, "");
    EXPECT_EQ(0, outcome.exitCode);
    EXPECT_EQ("", outcome.errors) << "trellis-hello prints nothing";
}

TEST(HelloProgram, InsistingOnX11WithoutADisplayFails)
{
    const Outcome outcome = RunHello({"-qaf=0"}, "TRELLIS_PLATFORM=x11");
    EXPECT_EQ(1, outcome.exitCode);
    EXPECT_EQ("TRELLIS_PLATFORM=x11: no X display could be opened\n", outcome.errors);
}

TEST(HelloProgram, ChoosingHeadlessRunsWithoutTryingX11)
{
    const Outcome outcome = RunHello({"-windowed", "-qaf=3"}, "TRELLIS_PLATFORM=headless");
    EXPECT_EQ(0, outcome.exitCode);
    EXPECT_EQ("", outcome.errors);
}

} // namespace

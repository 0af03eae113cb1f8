#include "ProgramRun.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <fstream>
#include <cstring>
#include <iterator>

extern char** environ;

namespace {

std::string Name(const std::string& entry)
{
    return entry.substr(0, entry.find('='));
}

// In a sanitizer build every program is checked for leaks with only the
// suppressions it carries itself, as a user's run is, so a leak a user would be
// shown fails the test; abort_on_error ends the program by a signal, which no
// exit code check accepts. The one exception is ProgramEnvironment::checkLeaks.
std::vector<std::string> Environment(const ProgramEnvironment& chosen)
{
    std::vector<std::string> environment = chosen.added;
    environment.insert(environment.end(), {chosen.checkLeaks ? "ASAN_OPTIONS=detect_leaks=1:abort_on_error=1"
                                                             : "ASAN_OPTIONS=detect_leaks=0:abort_on_error=1",
                                           "LSAN_OPTIONS="});
    std::vector<std::string> removed = chosen.removed;
    std::transform(environment.begin(), environment.end(), std::back_inserter(removed), Name);
    for (char** entry = environ; *entry != nullptr; ++entry) {
        if (std::find(removed.begin(), removed.end(), Name(*entry)) == removed.end()) {
            environment.emplace_back(*entry);
        }
    }
    return environment;
}

std::vector<char*> Pointers(std::vector<std::string>& strings)
{
    std::vector<char*> pointers;
    for (std::string& text : strings) {
        pointers.push_back(text.data());
    }
    pointers.push_back(nullptr);
    return pointers;
}

// A pipe, or a pseudo-terminal, whose ends no child inherits.
bool Channel(bool terminal, int ends[2])
{
    if (!terminal) {
        return pipe2(ends, O_CLOEXEC) == 0;
    }
    return openpty(&ends[0], &ends[1], nullptr, nullptr, nullptr) == 0 && fcntl(ends[0], F_SETFD, FD_CLOEXEC) == 0 &&
           fcntl(ends[1], F_SETFD, FD_CLOEXEC) == 0;
}

void Close(int& end)
{
    if (end >= 0) {
        close(end);
        end = -1;
    }
}

} // namespace

ProgramRun::ProgramRun(const std::string& path, std::vector<std::string> arguments,
                       const ProgramEnvironment& chosen, const ProgramOptions& options)
    : timeoutSeconds(options.timeoutSeconds)
{
    arguments.insert(arguments.begin(), path);
    std::vector<std::string> environment = Environment(chosen);
    const std::vector<char*> argv = Pointers(arguments);
    const std::vector<char*> envp = Pointers(environment);
    int output[2] = {-1, -1};
    int errors[2] = {-1, -1};
    int failure = 0;
    const bool merged = options.streams == Streams::Merged;
    if (!Channel(options.streams == Streams::Terminal, output) || !(merged || Channel(false, errors))) {
        failure = errno;
    } else {
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, output[1], STDOUT_FILENO);
        posix_spawn_file_actions_adddup2(&actions, merged ? output[1] : errors[1], STDERR_FILENO);
        if (!options.folder.empty()) {
            posix_spawn_file_actions_addchdir_np(&actions, options.folder.c_str());
        }
        failure = posix_spawn(&child, path.c_str(), &actions, nullptr, argv.data(), envp.data());
        posix_spawn_file_actions_destroy(&actions);
    }
    Close(output[1]);
    Close(errors[1]);
    ends[0] = output[0];
    ends[1] = errors[0];
    if (failure != 0) {
        child = 0;
        outcome.errors = "cannot start " + path + ": " + std::strerror(failure);
    }
}

ProgramRun::~ProgramRun()
{
    if (child > 0) {
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
    }
    Close(ends[0]);
    Close(ends[1]);
}

// Both channels are read together so that neither fills while the other is awaited.
// A terminal reports its end with EIO rather than 0, so a failed read ends a channel too.
bool ProgramRun::ReadUntil(const std::string* text)
{
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + std::chrono::seconds(timeoutSeconds);
    const auto seen = [&] { return text != nullptr && outcome.output.find(*text) != std::string::npos; };
    std::string* texts[2] = {&outcome.output, &outcome.errors};
    while ((ends[0] >= 0 || ends[1] >= 0) && !seen()) {
        pollfd channels[2] = {{ends[0], POLLIN, 0}, {ends[1], POLLIN, 0}};
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0 || poll(channels, 2, int(left)) == 0) {
            return false;
        }
        for (int i = 0; i < 2; ++i) {
            char buffer[4096];
            const ssize_t got = channels[i].revents == 0 ? 0 : read(ends[i], buffer, sizeof buffer);
            if (got > 0) {
                texts[i]->append(buffer, size_t(got));
            } else if (channels[i].revents != 0) {
                Close(ends[i]);
            }
        }
    }
    return text == nullptr || seen();
}

// A program that closed its output is ending; one that did not in time is killed.
ProgramOutcome ProgramRun::Finish()
{
    if (child <= 0) {
        return outcome;
    }
    const bool ended = ReadUntil(nullptr);
    if (!ended) {
        kill(child, SIGKILL);
        outcome.errors += "[killed: still running after " + std::to_string(timeoutSeconds) + " s]\n";
    }
    int status = 0;
    const bool reaped = waitpid(child, &status, 0) == child;
    child = 0;
    outcome.exitCode = ended && reaped && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return outcome;
}

ProgramOutcome RunProgram(const std::string& path, const std::vector<std::string>& arguments,
                          const ProgramEnvironment& environment, const ProgramOptions& options)
{
    return ProgramRun(path, arguments, environment, options).Finish();
}

ProgramOutcome RunMerged(const std::string& path, const std::vector<std::string>& arguments,
                         const std::vector<std::string>& added)
{
    return RunProgram(path, arguments, {added}, {Streams::Merged});
}

bool HaveImageMagick()
{
    for (const char* tool : {"/usr/bin/convert", "/usr/bin/identify"}) {
        if (access(tool, X_OK) != 0 || RunMerged(tool, {"-version"}).output.find("ImageMagick") == std::string::npos) {
            return false;
        }
    }
    return true;
}

WestonRun::WestonRun(const std::vector<std::string>& arguments, const std::vector<std::string>& added)
    : socket(runtime.File("wayland"))
{
    // Without its fades, a screenshot shows what the clients drew as they drew it.
    const std::string config = runtime.File("weston.ini");
    std::ofstream(config) << "[shell]\nstartup-animation=none\nanimation=none\nclose-animation=none\n"
                             "focus-animation=none\n";
    std::vector<std::string> all{"--socket=wayland", "--config=" + config, "--log=" + runtime.File("weston.log")};
    all.insert(all.end(), arguments.begin(), arguments.end());
    std::vector<std::string> environment = added;
    environment.push_back("XDG_RUNTIME_DIR=" + runtime.Path());
    compositor = std::make_unique<ProgramRun>("/usr/bin/weston", all, ProgramEnvironment{environment},
                                              ProgramOptions{});
    struct stat info{};
    for (int attempt = 0; attempt < 200 && !listening; ++attempt) {
        listening = stat(socket.c_str(), &info) == 0;
        if (!listening) {
            usleep(50000);
        }
    }
}

void WestonRun::Kill()
{
    if (compositor && compositor->Id() > 0) {
        kill(compositor->Id(), SIGKILL);
        compositor->Finish();
    }
}


// kestrel and trellis-hello as a user starts them on a Wayland desktop: under
// the compositor named by TRELLIS_TEST_WAYLAND_DISPLAY (CI starts a headless
// Weston), and under one of their own that goes away mid-run.
#include <gtest/gtest.h>

#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

extern char** environ;

namespace {

struct Outcome {
    int exitCode = -1;
    std::string output;  // stdout and stderr together
};

// A program running with its output on a pipe. The environment is the test's
// minus every variable that chooses a window system, plus `extra`; the leak
// check is off in a sanitizer build, as Mesa's driver keeps blocks for good.
class Child {
public:
    Child(const std::string& program, const std::vector<std::string>& arguments, const std::vector<std::string>& extra)
    {
        std::vector<std::string> environment;
        for (char** entry = environ; *entry != nullptr; ++entry) {
            const std::string variable = *entry;
            const std::string name = variable.substr(0, variable.find('='));
            if (name != "DISPLAY" && name != "WAYLAND_DISPLAY" && name != "TRELLIS_PLATFORM" &&
                name != "ASAN_OPTIONS") {
                environment.push_back(variable);
            }
        }
        environment.emplace_back("ASAN_OPTIONS=detect_leaks=0:abort_on_error=1");
        environment.insert(environment.end(), extra.begin(), extra.end());
        std::vector<char*> envp;
        for (std::string& entry : environment) {
            envp.push_back(entry.data());
        }
        envp.push_back(nullptr);
        std::vector<std::string> words{program};
        words.insert(words.end(), arguments.begin(), arguments.end());
        std::vector<char*> argv;
        for (std::string& word : words) {
            argv.push_back(word.data());
        }
        argv.push_back(nullptr);
        int ends[2];
        if (pipe(ends) != 0) {
            return;
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, ends[1], STDOUT_FILENO);
        posix_spawn_file_actions_adddup2(&actions, ends[1], STDERR_FILENO);
        posix_spawn_file_actions_addclose(&actions, ends[0]);
        if (posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data()) != 0) {
            pid = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
        close(ends[1]);
        output = ends[0];
    }

    ~Child()
    {
        if (pid > 0) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
        if (output >= 0) {
            close(output);
        }
    }

    // Reads the output until it contains `text`; false at its end.
    bool ReadUntil(const std::string& text)
    {
        while (outcome.output.find(text) == std::string::npos) {
            if (!ReadSome()) {
                return false;
            }
        }
        return true;
    }

    Outcome Finish()
    {
        while (ReadSome()) {
        }
        int status = 0;
        if (pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status)) {
            outcome.exitCode = WEXITSTATUS(status);
        }
        pid = -1;
        return outcome;
    }

private:
    bool ReadSome()
    {
        char buffer[4096];
        const ssize_t got = output >= 0 ? read(output, buffer, sizeof buffer) : 0;
        if (got <= 0) {
            return false;
        }
        outcome.output.append(buffer, size_t(got));
        return true;
    }

    pid_t pid = -1;
    int output = -1;
    Outcome outcome;
};

Outcome RunProgram(const std::string& program, const std::vector<std::string>& arguments,
            const std::vector<std::string>& extra)
{
    return Child(program, arguments, extra).Finish();
}

class WaylandPrograms : public testing::Test {
protected:
    void SetUp() override
    {
        const char* name = std::getenv("TRELLIS_TEST_WAYLAND_DISPLAY");
        if (name == nullptr) {
            GTEST_SKIP() << "TRELLIS_TEST_WAYLAND_DISPLAY is not set";
        }
        display = std::string("WAYLAND_DISPLAY=") + name;
    }
    std::string display;
};

TEST_F(WaylandPrograms, RunNativelyInEachWindowModeToTheFrameLimit)
{
    const std::vector<std::vector<std::string>> modes = {
        {"-windowed", "-qaf=30"}, {"-qaf=30"}, {"-width=320", "-height=240", "-qaf=30"}};
    for (const char* program : {KESTREL_PATH, TRELLIS_HELLO_PATH}) {
        for (const auto& mode : modes) {
            const Outcome outcome = RunProgram(program, mode, {display, "TRELLIS_PLATFORM=wayland"});
            EXPECT_EQ(0, outcome.exitCode) << program << " " << mode.front() << ": " << outcome.output;
            EXPECT_EQ("", outcome.output) << program << " " << mode.front();
        }
    }
}

TEST_F(WaylandPrograms, WaylandIsChosenWhenItsDisplayConnects)
{
    // The protocol log shows the toplevel being made and titled; DISPLAY is unset.
    const Outcome outcome = RunProgram(KESTREL_PATH, {"-windowed", "-qaf=2"}, {display, "WAYLAND_DEBUG=client"});
    EXPECT_EQ(0, outcome.exitCode);
    EXPECT_NE(std::string::npos, outcome.output.find("xdg_toplevel@")) << "not a Wayland client";
    EXPECT_NE(std::string::npos, outcome.output.find("set_title(\"Trellis\")"));
    EXPECT_NE(std::string::npos, outcome.output.find("set_app_id(\"kestrel\")"));
}

TEST_F(WaylandPrograms, AConnectionHandedDownInWaylandSocketIsUsed)
{
    const int connection = socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(connection, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string path = display.substr(display.find('=') + 1);
    ASSERT_LT(path.size(), sizeof address.sun_path);
    std::strcpy(address.sun_path, path.c_str());
    ASSERT_EQ(0, connect(connection, reinterpret_cast<const sockaddr*>(&address), sizeof address));
    const Outcome outcome = RunProgram(KESTREL_PATH, {"-windowed", "-qaf=2"},
                                       {"WAYLAND_SOCKET=" + std::to_string(connection), "WAYLAND_DEBUG=client"});
    close(connection);
    EXPECT_EQ(0, outcome.exitCode) << outcome.output;
    EXPECT_NE(std::string::npos, outcome.output.find("xdg_toplevel@")) << "not a Wayland client";
}

TEST_F(WaylandPrograms, FramesHaveEightBitsAColour)
{
    // A 320-pixel row of a 32-bit buffer takes 1280 bytes; of RGB565, 640.
    const Outcome outcome = RunProgram(KESTREL_PATH, {"-windowed", "-width=320", "-height=240", "-qaf=2"},
                                       {display, "WAYLAND_DEBUG=client"});
    EXPECT_EQ(0, outcome.exitCode);
    EXPECT_NE(std::string::npos, outcome.output.find(", 320, 240, 1280, ")) << outcome.output;
}

// An output that has gone blank asks for no frames: the program still ends at
// its time limit (the outer limit only stops one that hangs).
TEST(WaylandProgram, ABlankedOutputDoesNotStopTheFrames)
{
    const char* name = std::getenv("TRELLIS_TEST_WAYLAND_IDLE_DISPLAY");
    if (name == nullptr) {
        GTEST_SKIP() << "TRELLIS_TEST_WAYLAND_IDLE_DISPLAY is not set";
    }
    const Outcome outcome =
        RunProgram("/usr/bin/timeout", {"120", KESTREL_PATH, "-windowed", "-width=320", "-height=240", "-qat=3"},
                   {std::string("WAYLAND_DISPLAY=") + name});
    EXPECT_EQ(0, outcome.exitCode) << outcome.output;
}

#ifdef TRELLIS_INPUT_PATH
TEST_F(WaylandPrograms, TheApplicationsTitleNamesTheToplevel)
{
    const Outcome outcome = RunProgram(TRELLIS_INPUT_PATH, {"-qaf=2"}, {display, "WAYLAND_DEBUG=client"});
    EXPECT_EQ(0, outcome.exitCode);
    EXPECT_NE(std::string::npos, outcome.output.find("set_title(\"Trellis input\")"));
}
#endif

TEST_F(WaylandPrograms, CompositorGoingAwayEndsTheProgramWithExitOne)
{
    char pattern[] = "/tmp/trellis-wl-gone-XXXXXX";
    ASSERT_NE(nullptr, mkdtemp(pattern));
    const std::string runtime = pattern;
    const std::string socket = runtime + "/trellis-wl-gone";
    const pid_t compositor = fork();
    if (compositor == 0) {
        setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
        execlp("weston", "weston", "--backend=headless-backend.so", "--socket=trellis-wl-gone", "--idle-time=0",
               "--log=/dev/null", static_cast<char*>(nullptr));
        _exit(127);
    }
    struct stat info{};
    for (int attempt = 0; attempt < 200 && stat(socket.c_str(), &info) != 0; ++attempt) {
        usleep(50000);
    }
    Outcome outcome;
    {
        Child kestrel(KESTREL_PATH, {"-windowed", "-qaf=1000000"},
                      {"WAYLAND_DISPLAY=" + socket, "WAYLAND_DEBUG=client"});
        // Frames are being presented once the compositor has released a buffer.
        const bool presenting = kestrel.ReadUntil("wl_buffer@") && kestrel.ReadUntil(".release()");
        kill(compositor, SIGKILL);
        waitpid(compositor, nullptr, 0);
        EXPECT_TRUE(presenting);
        outcome = kestrel.Finish();
    }
    std::remove((socket + ".lock").c_str());
    std::remove(socket.c_str());
    rmdir(runtime.c_str());
    EXPECT_EQ(1, outcome.exitCode);
    const std::string message = "The Wayland compositor has gone away\n";
    ASSERT_GE(outcome.output.size(), message.size());
    EXPECT_EQ(message, outcome.output.substr(outcome.output.size() - message.size()));
}

TEST(WaylandProgram, InsistingOnWaylandWithoutACompositorFails)
{
    const Outcome outcome = RunProgram(TRELLIS_HELLO_PATH, {"-qaf=0"},
                                {"TRELLIS_PLATFORM=wayland", "WAYLAND_DISPLAY=/nonexistent/trellis-wl-none"});
    EXPECT_EQ(1, outcome.exitCode);
    EXPECT_EQ("TRELLIS_PLATFORM=wayland: cannot open the Wayland display \"/nonexistent/trellis-wl-none\" named by "
              "WAYLAND_DISPLAY\n",
              outcome.output);
}

} // namespace

// The two programs run as a user runs them: kestrel in a real X11 window
// (when TRELLIS_TEST_DISPLAY names a server) and kestrel-capture without any
// display, whose pictures must match the reviewed reference.
#include <gtest/gtest.h>

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "ReferenceImage.h"

extern char** environ;

namespace {

struct Outcome {
    int exitCode = -1;
    std::string output;  // stdout and stderr together
};

// Runs `program` with the environment minus the display variables and TRELLIS_PLATFORM, plus
// `extra`. In a sanitizer build the child checks for leaks with no options of
// ours, as when a user starts it: its report must be clean.
Outcome RunProgram(const std::string& program, std::vector<std::string> arguments, const std::vector<std::string>& extra)
{
    std::vector<std::string> environment;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        if (std::strncmp(*entry, "DISPLAY=", 8) != 0 && std::strncmp(*entry, "WAYLAND_DISPLAY=", 16) != 0 &&
            std::strncmp(*entry, "TRELLIS_PLATFORM=", 17) != 0 && std::strncmp(*entry, "ASAN_OPTIONS=", 13) != 0 &&
            std::strncmp(*entry, "LSAN_OPTIONS=", 13) != 0) {
            environment.emplace_back(*entry);
        }
    }
    environment.emplace_back("ASAN_OPTIONS=detect_leaks=1");
    environment.insert(environment.end(), extra.begin(), extra.end());
    std::vector<char*> envp;
    for (std::string& entry : environment) {
        envp.push_back(entry.data());
    }
    envp.push_back(nullptr);
    std::string path = program;
    std::vector<char*> argv{path.data()};
    for (std::string& argument : arguments) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);

    int pipeEnds[2];
    if (pipe(pipeEnds) != 0) {
        return Outcome{};
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDERR_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipeEnds[0]);
    pid_t child = 0;
    const int spawned = posix_spawn(&child, path.c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    close(pipeEnds[1]);
    Outcome outcome;
    char buffer[512];
    ssize_t got = 0;
    while ((got = read(pipeEnds[0], buffer, sizeof buffer)) > 0) {
        outcome.output.append(buffer, size_t(got));
    }
    close(pipeEnds[0]);
    int status = 0;
    if (spawned == 0 && waitpid(child, &status, 0) == child && WIFEXITED(status)) {
        outcome.exitCode = WEXITSTATUS(status);
    }
    return outcome;
}

TEST(KestrelProgram, RunsInAnX11WindowAndExitsZeroAtTheFrameLimit)
{
    const char* display = std::getenv("TRELLIS_TEST_DISPLAY");
    if (display == nullptr) {
        GTEST_SKIP() << "TRELLIS_TEST_DISPLAY is not set";
    }
    const Outcome outcome = RunProgram(KESTREL_PATH, {"-windowed", "-width=320", "-height=240", "-qaf=60"},
                                {std::string("DISPLAY=") + display, "TRELLIS_PLATFORM=x11"});
    EXPECT_EQ(0, outcome.exitCode) << outcome.output;
    EXPECT_EQ("", outcome.output);
}

TEST(KestrelProgram, RunsHeadlessWithoutADisplay)
{
    // Multisampling included: the driver's own buffers for it stay its business.
    for (const std::vector<std::string>& arguments : {std::vector<std::string>{"-qaf=5"}, {"-FSAAMode=2", "-qaf=1"}}) {
        const Outcome outcome = RunProgram(KESTREL_PATH, arguments, {});
        EXPECT_EQ(0, outcome.exitCode) << outcome.output;
        EXPECT_EQ("", outcome.output);
    }
}

class KestrelCaptureProgram : public testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/kestrel-capture-XXXXXX";
        ASSERT_NE(nullptr, mkdtemp(pattern));
        folder = pattern;
    }
    void TearDown() override
    {
        for (const char* name : {"/shot0000.bmp", "/shot0000.png", "/shot0001.bmp", "/shot0001.png"}) {
            std::remove((folder + name).c_str());
        }
        rmdir(folder.c_str());
    }
    std::string folder;
};

TEST_F(KestrelCaptureProgram, SavesTheChosenFramesAndSaysWhere)
{
    const std::string prefix = folder + "/shot";
    const Outcome outcome = RunProgram(KESTREL_CAPTURE_PATH,
                                {"-windowed", "-width=320", "-height=240", "-frames=150,0", "-prefix=" + prefix},
                                {"TRELLIS_PLATFORM=x11"});  // ignored: capture is always headless
    ASSERT_EQ(0, outcome.exitCode) << outcome.output;
    EXPECT_EQ("frame 0: " + prefix + "0000.bmp " + prefix + "0000.png\n" +
                  "frame 150: " + prefix + "0001.bmp " + prefix + "0001.png\n",
              outcome.output);
    const RgbImage reference = ReadPng(std::string(KESTREL_REFERENCE_DIR) + "/kestrel_frame150.png");
    const RgbImage saved = ReadPng(prefix + "0001.png");
    ASSERT_EQ(320, saved.width);
    ASSERT_EQ(240, saved.height);
    EXPECT_LE(Compare(saved, reference, 8).fractionBeyondSlack, 0.005);
    EXPECT_EQ(0, access((prefix + "0001.bmp").c_str(), R_OK));
}

TEST_F(KestrelCaptureProgram, RefusesUnknownOptionsAndBadFrameLists)
{
    for (const char* bad : {"-frames=", "-frames=1,,2", "-frames=-3", "-frames=2x", "-frames=99999999999", "-colour"}) {
        SCOPED_TRACE(bad);
        const Outcome outcome = RunProgram(KESTREL_CAPTURE_PATH, {bad, "-prefix=" + folder + "/shot"}, {});
        EXPECT_EQ(1, outcome.exitCode);
        EXPECT_NE(std::string::npos, outcome.output.find("kestrel-capture: ")) << outcome.output;
    }
    EXPECT_NE(0, access((folder + "/shot0000.bmp").c_str(), F_OK)) << "nothing was rendered";
}

TEST_F(KestrelCaptureProgram, AnUnwritablePrefixFailsWithExitCodeOne)
{
    const Outcome outcome = RunProgram(KESTREL_CAPTURE_PATH, {"-windowed", "-width=64", "-height=48",
                                                        "-prefix=" + folder + "/missing/shot"}, {});
    EXPECT_EQ(1, outcome.exitCode);
    EXPECT_NE(std::string::npos, outcome.output.find("kestrel-capture: frame 0 could not be saved")) << outcome.output;
}

} // namespace

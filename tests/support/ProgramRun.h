#pragma once
// A program under test started as a user starts it: a real execve with the
// arguments as typed, in an environment each test chooses.
#include <sys/types.h>

#include <memory>
#include <string>
#include <vector>

#include "TempDir.h"

struct ProgramOutcome {
    int exitCode = -1;   // -1 when it did not exit by itself: a signal, or killed on time-out
    std::string output;  // standard output, and standard error where merged
    std::string errors;  // standard error unless merged
};

// The test's own environment less the names `removed` and those `added` sets, plus `added`
// (NAME=value). By default no window system is chosen.
struct ProgramEnvironment {
    std::vector<std::string> added;
    std::vector<std::string> removed{"DISPLAY", "WAYLAND_DISPLAY", "TRELLIS_PLATFORM"};
    // In a sanitizer build leaks are checked as a user's run checks them (ProgramRun.cpp).
    // Off only for runs whose check LeakSanitizer itself cannot finish: its scan at exit
    // crashes on the dynamic thread-local storage that a Wayland client's libraries leave
    // (kestrel's framed window under Weston, in many runs). Memory errors are still caught.
    bool checkLeaks = true;
};

// Pipes: standard output and standard error apart. Merged: standard error into the output,
// in the order written. Terminal: standard output on a pseudo-terminal, standard error apart.
enum class Streams { Pipes, Merged, Terminal };

struct ProgramOptions {
    Streams streams = Streams::Pipes;
    std::string folder{};      // working folder; empty: the test's
    int timeoutSeconds = 120;  // for each wait; then the program is killed
};

// A running program, killed if it still runs when this goes.
class ProgramRun {
public:
    ProgramRun(const std::string& path, std::vector<std::string> arguments, const ProgramEnvironment& environment,
               const ProgramOptions& options);
    ~ProgramRun();
    ProgramRun(const ProgramRun&) = delete;
    ProgramRun& operator=(const ProgramRun&) = delete;

    pid_t Id() const { return child; }
    const ProgramOutcome& SoFar() const { return outcome; }
    // Reads until the output holds `text`; false if the output ends or time runs out first.
    bool WaitForOutput(const std::string& text) { return ReadUntil(&text); }
    ProgramOutcome Finish();  // reads to the end and reaps the program

private:
    bool ReadUntil(const std::string* text);

    ProgramOutcome outcome;
    int ends[2] = {-1, -1};  // reading ends: output, errors
    pid_t child = 0;
    int timeoutSeconds;
};

ProgramOutcome RunProgram(const std::string& path, const std::vector<std::string>& arguments,
                          const ProgramEnvironment& environment = {}, const ProgramOptions& options = {});

// `path` with no window system chosen, plus `added`; its standard error is in
// its output where it was written.
ProgramOutcome RunMerged(const std::string& path, const std::vector<std::string>& arguments,
                         const std::vector<std::string>& added = {});

// Whether the real ImageMagick is installed, by full path: another program
// named convert may come first on PATH.
bool HaveImageMagick();

// A Weston of the test's own in a runtime folder of its own, without its
// animations, so that nothing an earlier test did to a compositor (focus,
// placement, grabs) reaches this one.
// `arguments` follow the socket's; `added` joins the environment (DISPLAY for
// the X11 backend). Killed, and then its folder cleared away, when this goes.
class WestonRun {
public:
    WestonRun(const std::vector<std::string>& arguments, const std::vector<std::string>& added = {});
    WestonRun(const WestonRun&) = delete;
    WestonRun& operator=(const WestonRun&) = delete;

    // Whether the compositor listens; what WAYLAND_DISPLAY names it by.
    bool Listening() const { return listening; }
    const std::string& Socket() const { return socket; }
    // Ends the compositor at once, as a crash would.
    void Kill();

private:
    TempDir runtime;
    std::string socket;
    std::unique_ptr<ProgramRun> compositor;
    bool listening = false;
};


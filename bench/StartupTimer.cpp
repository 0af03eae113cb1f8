// startup_timer: time from starting a program to its first presented frame.
// The program runs with the frame probe preloaded (bench/FrameProbe.cpp),
// which notes the monotonic time of its first present; both clocks are the
// same system-wide CLOCK_MONOTONIC.
//
// Usage: startup_timer PROBE_LIBRARY PROGRAM [ARGUMENTS...]
// Prints the start-up time in microseconds; exits non-zero when the program
// failed or presented nothing.
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

using namespace trellis;

extern char** environ;

namespace {

long long NowNs()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<long long>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

// The probe's report line holds first_ns=<monotonic ns of the first present>.
long long FirstPresentNs(const std::string& report)
{
    std::FILE* file = std::fopen(report.c_str(), "r");
    if (file == nullptr) {
        return -1;
    }
    long long first = -1;
    char line[512];
    if (std::fgets(line, sizeof line, file) != nullptr) {
        long frames = 0;
        if (std::sscanf(line, "frames=%ld first_ns=%lld", &frames, &first) != 2 || frames < 1) {
            first = -1;
        }
    }
    std::fclose(file);
    return first;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: startup_timer PROBE_LIBRARY PROGRAM [ARGUMENTS...]\n");
        return 2;
    }
    const std::string report = "/tmp/kestrel-startup-" + std::to_string(getpid()) + ".txt";
    std::remove(report.c_str());
    setenv("LD_PRELOAD", argv[1], 1);
    setenv("KESTREL_PROBE_REPORT", report.c_str(), 1);
    setenv("KESTREL_PROBE_FINISH", "0", 1);

    const long long start = NowNs();
    pid_t child = 0;
    if (posix_spawn(&child, argv[2], nullptr, nullptr, argv + 2, environ) != 0) {
        std::fprintf(stderr, "startup_timer: cannot start %s\n", argv[2]);
        return 1;
    }
    int status = 0;
    waitpid(child, &status, 0);
    const long long first = FirstPresentNs(report);
    std::remove(report.c_str());
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || first < 0) {
        std::fprintf(stderr, "startup_timer: %s failed or presented nothing\n", argv[2]);
        return 1;
    }
    std::printf("%lld\n", (first - start) / 1000);
    return 0;
}

// A measuring probe loaded with LD_PRELOAD into a program that presents with
// eglSwapBuffers (kestrel and kestrel-bare alike, so both are measured the same
// way). It notes the monotonic time of every presented frame and, past a
// warm-up, counts the heap allocations made between presents, telling apart
// those made by the program's own code from those made inside the libraries it
// calls (the GL driver, EGL). At exit it appends one line to the file named by
// KESTREL_PROBE_REPORT:
//
//   frames=N first_ns=T warm_ns=T last_ns=T steady_frames=M own_allocs=A driver_allocs=D max_own_per_frame=X
//   peak_rss_kib=R cpu_ns=C warm_rss_kib=W last_rss_kib=L losses=K
//
// cpu_ns is the CPU time of the whole process (every thread, the driver's
// rasteriser threads included) spent over the steady frames. warm_rss_kib and
// last_rss_kib are its resident memory (VmRSS) at the last warm-up frame and
// at the last measured one; losses counts the lost contexts it made.
//
// first_ns is the present of frame 1, warm_ns that of the last warm-up frame,
// last_ns that of the last measured frame; the steady frames are those after
// the warm-up up to the last measured one.
//
// Environment: KESTREL_PROBE_REPORT (required for a report), KESTREL_PROBE_WARMUP
// (frames before counting and timing begin, default 10), KESTREL_PROBE_LAST
// (the last frame measured, default every frame; presents after it, such as
// one made while shutting down, are left out), KESTREL_PROBE_ALLOCS=1 (count
// allocations; off, the probe only times), KESTREL_PROBE_FINISH=0 (present
// without waiting for the frame), KESTREL_PROBE_DUMP=PATH with
// KESTREL_PROBE_DUMP_FRAME=N (write frame N, counting presents from 1, as
// "W H\n" and W x H RGBA pixels, bottom row first, so that two programs'
// frames can be compared), KESTREL_PROBE_LOSE_EVERY=N (every Nth present
// reports EGL_CONTEXT_LOST after presenting, and the display advertises
// "EGL_XAN_power_management", so that the program rebuilds its context as
// after a device's power loss; Mesa really tears the context down).
//
// Each present is followed by glFinish, so that a frame's cost includes its
// rasterising rather than overlapping the next frame's submission.
#include <EGL/egl.h>
#include <GLES/gl.h>
#include <dlfcn.h>
#include <execinfo.h>
#include <link.h>
#include <malloc.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

using namespace trellis;

extern "C" {
void KestrelProbeWarmedUp();
void KestrelProbeMeasured();
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* pointer, size_t size);
void* __libc_memalign(size_t alignment, size_t size);
}

namespace {

enum class Owner { Pass, Program, Library };

// Address ranges of the loaded objects. "Pass" objects only hand an
// allocation on (the C and C++ runtimes, the unwinder, this probe); the first
// frame outside them decides who asked for the memory.
struct Range {
    uintptr_t begin, end;
    Owner owner;
};
constexpr int kMaxRanges = 512;
Range ranges[kMaxRanges];
int rangeCount = 0;

bool IsPassThrough(const char* path)
{
    static const char* const names[] = {"libc.so", "libstdc++.so", "libgcc_s.so", "ld-linux", "libm.so",
                                        "libkestrel_probe"};
    for (const char* name : names) {
        if (std::strstr(path, name) != nullptr) {
            return true;
        }
    }
    return false;
}

int AddObject(dl_phdr_info* info, size_t, void* data)
{
    // The main program comes first, with an empty name.
    bool& first = *static_cast<bool*>(data);
    const Owner owner = first ? Owner::Program : IsPassThrough(info->dlpi_name) ? Owner::Pass : Owner::Library;
    first = false;
    for (int i = 0; i < info->dlpi_phnum && rangeCount < kMaxRanges; ++i) {
        const ElfW(Phdr)& header = info->dlpi_phdr[i];
        if (header.p_type == PT_LOAD && (header.p_flags & PF_X) != 0) {
            const uintptr_t begin = info->dlpi_addr + header.p_vaddr;
            ranges[rangeCount++] = Range{begin, begin + header.p_memsz, owner};
        }
    }
    return 0;
}

Owner OwnerOf(uintptr_t address)
{
    for (int i = 0; i < rangeCount; ++i) {
        if (address >= ranges[i].begin && address < ranges[i].end) {
            return ranges[i].owner;
        }
    }
    return Owner::Library;  // JIT code and anything loaded later belong to the driver
}

struct Probe {
    bool countAllocs = false;
    long warmup = 10;
    long last = 0;  // 0: no limit
    bool finish = true;
    const char* dumpPath = nullptr;
    long dumpFrame = 0;
    const char* report = nullptr;
    std::atomic<long> frames{0};
    int64_t firstNs = 0, warmNs = 0, lastNs = 0;
    int64_t warmCpuNs = 0, lastCpuNs = 0;
    long warmRssKiB = -1, lastRssKiB = -1;
    long loseEvery = 0;  // 0: no context is lost
    long swaps = 0, losses = 0;
    bool lossPending = false;  // the next eglGetError reports it
    // Allocations since the last present, and the totals of completed steady frames.
    std::atomic<long> ownInFrame{0}, driverInFrame{0};
    long ownTotal = 0, driverTotal = 0, maxOwnPerFrame = 0;
    std::atomic<bool> counting{false};
};
Probe probe;

__attribute__((tls_model("initial-exec"))) thread_local bool insideProbe = false;

int64_t ClockNs(clockid_t clock)
{
    timespec now{};
    clock_gettime(clock, &now);
    return int64_t(now.tv_sec) * 1000000000 + now.tv_nsec;
}

int64_t NowNs()
{
    return ClockNs(CLOCK_MONOTONIC);
}

void NoteAllocation()
{
    if (!probe.counting.load(std::memory_order_relaxed) || insideProbe) {
        return;
    }
    insideProbe = true;
    void* frames[48];
    const int depth = backtrace(frames, 48);
    Owner owner = Owner::Library;
    for (int i = 0; i < depth; ++i) {
        owner = OwnerOf(reinterpret_cast<uintptr_t>(frames[i]));
        if (owner != Owner::Pass) {
            break;
        }
    }
    (owner == Owner::Program ? probe.ownInFrame : probe.driverInFrame).fetch_add(1, std::memory_order_relaxed);
    insideProbe = false;
}

__attribute__((constructor)) void StartProbe()
{
    probe.report = std::getenv("KESTREL_PROBE_REPORT");
    if (const char* warmup = std::getenv("KESTREL_PROBE_WARMUP")) {
        probe.warmup = std::strtol(warmup, nullptr, 10);
    }
    if (const char* last = std::getenv("KESTREL_PROBE_LAST")) {
        probe.last = std::strtol(last, nullptr, 10);
    }
    probe.dumpPath = std::getenv("KESTREL_PROBE_DUMP");
    if (const char* dumpFrame = std::getenv("KESTREL_PROBE_DUMP_FRAME")) {
        probe.dumpFrame = std::strtol(dumpFrame, nullptr, 10);
    }
    const char* finish = std::getenv("KESTREL_PROBE_FINISH");
    probe.finish = finish == nullptr || finish[0] != '0';
    if (const char* loseEvery = std::getenv("KESTREL_PROBE_LOSE_EVERY")) {
        probe.loseEvery = std::strtol(loseEvery, nullptr, 10);
    }
    const char* allocs = std::getenv("KESTREL_PROBE_ALLOCS");
    probe.countAllocs = allocs != nullptr && allocs[0] == '1';
    if (probe.countAllocs) {
        // The unwinder loads itself at its first use; let that happen now.
        insideProbe = true;
        void* frames[4];
        backtrace(frames, 4);
        insideProbe = false;
    }
}

// A figure of the process's /proc status in KiB ("VmHWM:" the peak resident
// memory so far, "VmRSS:" the current one); -1 when unknown.
long StatusKiB(const char* field)
{
    std::FILE* status = std::fopen("/proc/self/status", "r");
    if (status == nullptr) {
        return -1;
    }
    const size_t length = std::strlen(field);
    long value = -1;
    char line[256];
    while (std::fgets(line, sizeof line, status) != nullptr) {
        if (std::strncmp(line, field, length) == 0) {
            value = std::strtol(line + length, nullptr, 10);
            break;
        }
    }
    std::fclose(status);
    return value;
}

__attribute__((destructor)) void WriteReport()
{
    probe.counting = false;
    if (probe.report == nullptr) {
        return;
    }
    std::FILE* file = std::fopen(probe.report, "a");
    if (file == nullptr) {
        return;
    }
    const long presented = probe.frames.load();
    const long frames = probe.last > 0 && presented > probe.last ? probe.last : presented;
    std::fprintf(file,
                 "frames=%ld first_ns=%lld warm_ns=%lld last_ns=%lld steady_frames=%ld own_allocs=%ld "
                 "driver_allocs=%ld max_own_per_frame=%ld peak_rss_kib=%ld cpu_ns=%lld warm_rss_kib=%ld "
                 "last_rss_kib=%ld losses=%ld\n",
                 frames, static_cast<long long>(probe.firstNs), static_cast<long long>(probe.warmNs),
                 static_cast<long long>(probe.lastNs), frames > probe.warmup ? frames - probe.warmup : 0,
                 probe.ownTotal, probe.driverTotal, probe.maxOwnPerFrame, StatusKiB("VmHWM:"),
                 static_cast<long long>(probe.lastCpuNs - probe.warmCpuNs), probe.warmRssKiB, probe.lastRssKiB,
                 probe.losses);
    std::fclose(file);
}

// Writes the surface as it stands after a present (a pbuffer keeps it).
void DumpFrame()
{
    GLint viewport[4] = {};
    glGetIntegerv(GL_VIEWPORT, viewport);
    const size_t bytes = size_t(viewport[2]) * size_t(viewport[3]) * 4;
    std::FILE* file = std::fopen(probe.dumpPath, "wb");
    void* pixels = __libc_malloc(bytes);
    if (file != nullptr && pixels != nullptr) {
        glReadPixels(0, 0, viewport[2], viewport[3], GL_RGBA, GL_UNSIGNED_BYTE, pixels);
        std::fprintf(file, "%d %d\n", viewport[2], viewport[3]);
        std::fwrite(pixels, 1, bytes, file);
    }
    std::free(pixels);
    if (file != nullptr) {
        std::fclose(file);
    }
}

// Runs after each present: closes the frame's allocation count and times it.
void FramePresented()
{
    const int64_t now = NowNs();
    const long frame = ++probe.frames;
    if (probe.last > 0 && frame > probe.last) {
        return;
    }
    probe.lastNs = now;
    probe.lastCpuNs = ClockNs(CLOCK_PROCESS_CPUTIME_ID);
    if (frame == 1) {
        probe.firstNs = now;
    }
    if (probe.counting) {
        const long own = probe.ownInFrame.exchange(0);
        probe.ownTotal += own;
        probe.driverTotal += probe.driverInFrame.exchange(0);
        if (own > probe.maxOwnPerFrame) {
            probe.maxOwnPerFrame = own;
        }
        if (frame == probe.last) {
            probe.counting = false;
        }
    }
    if (frame == probe.last) {
        KestrelProbeMeasured();
        probe.lastRssKiB = StatusKiB("VmRSS:");
    }
    if (frame == probe.warmup) {
        KestrelProbeWarmedUp();
        probe.warmRssKiB = StatusKiB("VmRSS:");
        probe.warmNs = now;
        probe.warmCpuNs = probe.lastCpuNs;
        if (probe.countAllocs) {
            bool first = true;
            rangeCount = 0;
            dl_iterate_phdr(AddObject, &first);
            probe.ownInFrame = 0;
            probe.driverInFrame = 0;
            probe.counting = true;
        }
    }
}

} // namespace

extern "C" {

// Marks for profilers: called at the end of the warm-up and at the last
// measured frame, so that callgrind can zero its counts at the first and dump
// them at the second (--zero-before=KestrelProbeWarmedUp
// --dump-before=KestrelProbeMeasured), leaving only the steady frames.
__attribute__((noinline)) void KestrelProbeWarmedUp()
{
    __asm__ volatile("");
}

__attribute__((noinline)) void KestrelProbeMeasured()
{
    __asm__ volatile("");
}

EGLBoolean EGLAPIENTRY eglSwapBuffers(EGLDisplay display, EGLSurface surface)
{
    using Swap = EGLBoolean(EGLAPIENTRY*)(EGLDisplay, EGLSurface);
    static const auto real = reinterpret_cast<Swap>(dlsym(RTLD_NEXT, "eglSwapBuffers"));
    const EGLBoolean result = real(display, surface);
    if (probe.finish) {
        glFinish();
    }
    if (probe.dumpPath != nullptr && probe.frames.load() + 1 == probe.dumpFrame) {
        DumpFrame();
    }
    FramePresented();
    if (probe.loseEvery > 0 && ++probe.swaps % probe.loseEvery == 0) {
        ++probe.losses;
        probe.lossPending = true;
        return EGL_FALSE;
    }
    return result;
}

EGLint EGLAPIENTRY eglGetError()
{
    static const auto real = reinterpret_cast<EGLint(EGLAPIENTRY*)()>(dlsym(RTLD_NEXT, "eglGetError"));
    if (probe.lossPending) {
        probe.lossPending = false;
        return EGL_CONTEXT_LOST;
    }
    return real();
}

const char* EGLAPIENTRY eglQueryString(EGLDisplay display, EGLint name)
{
    using Query = const char*(EGLAPIENTRY*)(EGLDisplay, EGLint);
    static const auto real = reinterpret_cast<Query>(dlsym(RTLD_NEXT, "eglQueryString"));
    const char* text = real(display, name);
    static char extended[16384];
    if (probe.loseEvery <= 0 || name != EGL_EXTENSIONS || display == EGL_NO_DISPLAY || text == nullptr ||
        std::snprintf(extended, sizeof extended, "%s EGL_XAN_power_management", text) >= int(sizeof extended)) {
        return text;
    }
    return extended;
}

void* malloc(size_t size)
{
    NoteAllocation();
    return __libc_malloc(size);
}

void* calloc(size_t count, size_t size)
{
    NoteAllocation();
    return __libc_calloc(count, size);
}

void* realloc(void* pointer, size_t size)
{
    NoteAllocation();
    return __libc_realloc(pointer, size);
}

void* memalign(size_t alignment, size_t size)
{
    NoteAllocation();
    return __libc_memalign(alignment, size);
}

void* aligned_alloc(size_t alignment, size_t size)
{
    NoteAllocation();
    return __libc_memalign(alignment, size);
}

int posix_memalign(void** result, size_t alignment, size_t size)
{
    NoteAllocation();
    void* pointer = __libc_memalign(alignment, size);
    if (pointer == nullptr) {
        return ENOMEM;
    }
    *result = pointer;
    return 0;
}

} // extern "C"

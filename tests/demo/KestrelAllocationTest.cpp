// The frame loop allocates nothing once it runs: every operator new (and,
// outside the sanitizers, which own malloc, every malloc) is counted across
// thousands of frames of the demo on the real driver, window system and loop.
// Mesa's software driver mallocs a dozen times a frame inside its own calls;
// those are told apart by the driver's code on the stack and only reported.
#include <gtest/gtest.h>

#include <dlfcn.h>
#include <execinfo.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>

#include "GlTestContext.h"
#include "ScriptedWindowSystem.h"
#include "demo/KestrelDemo.h"
#include "shell/Entry.h"

using namespace trellis;

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KESTREL_SANITIZED 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define KESTREL_SANITIZED 1
#endif

namespace {

std::atomic<bool> counting{false};
std::atomic<size_t> newCalls{0};

constexpr int32_t kWarmUpFrames = 20;
constexpr int32_t kCountedFrames = 3000;

void* Allocate(size_t size)
{
    if (counting) {
        ++newCalls;
    }
    void* block = std::malloc(size == 0 ? 1 : size);
    if (block == nullptr) {
        std::abort();
    }
    return block;
}

#ifndef KESTREL_SANITIZED
std::atomic<size_t> mallocCalls{0};
std::atomic<size_t> driverMallocCalls{0};
thread_local bool inHook = false;

// True when the graphics driver's code is on the calling stack.
bool CalledFromDriver()
{
    void* frames[32];
    const int depth = backtrace(frames, 32);
    for (int i = 1; i < depth; ++i) {
        Dl_info info{};
        if (dladdr(frames[i], &info) == 0 || info.dli_fname == nullptr) {
            continue;
        }
        for (const char* part : {"/dri/", "libgallium", "libEGL", "libGLES", "libglapi", "libGLdispatch", "libLLVM"}) {
            if (std::strstr(info.dli_fname, part) != nullptr) {
                return true;
            }
        }
    }
    return false;
}
#endif

// Counts from the start of frame kWarmUpFrames to the start of the last frame,
// so the loop's swap, message pump and limit checks lie inside the count.
class CountingDemo : public KestrelDemo {
public:
    int32_t RenderFrame() override
    {
        counting = frameCounter >= kWarmUpFrames && frameCounter < kWarmUpFrames + kCountedFrames;
        return KestrelDemo::RenderFrame();
    }
};

} // namespace

void* operator new(size_t size) { return Allocate(size); }
void* operator new[](size_t size) { return Allocate(size); }
void* operator new(size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void* operator new[](size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void operator delete(void* block) noexcept { std::free(block); }
void operator delete[](void* block) noexcept { std::free(block); }
void operator delete(void* block, size_t) noexcept { std::free(block); }
void operator delete[](void* block, size_t) noexcept { std::free(block); }

#ifndef KESTREL_SANITIZED
extern "C" void* __libc_malloc(size_t size);
extern "C" void* malloc(size_t size)
{
    if (counting && !inHook) {
        inHook = true;
        ++(CalledFromDriver() ? driverMallocCalls : mallocCalls);
        inHook = false;
    }
    return __libc_malloc(size);
}
#endif

TrellisApp* CreateApplication() { return new CountingDemo; }

TEST(KestrelAllocation, TheFrameLoopAllocatesNothingAfterTheFirstFrames)
{
#ifndef KESTREL_SANITIZED
    void* primer[1];
    backtrace(primer, 1);  // its first call loads the unwinder, which allocates
#endif
    // Keeps Mesa's driver loaded to the end, where the leak check matches its lasting blocks.
    ASSERT_TRUE(GlTestContext(1, 1).Ok());
    HeadlessWindowSystem system;
    const int exitCode = TrellisMain(u"-windowed -width=64 -height=48 -qaf=3100", system);
    counting = false;
    ASSERT_EQ(0, exitCode);
    EXPECT_EQ(0u, newCalls.load()) << "operator new calls in " << kCountedFrames << " frames";
#ifndef KESTREL_SANITIZED
    EXPECT_EQ(0u, mallocCalls.load()) << "malloc calls in " << kCountedFrames << " frames";
    RecordProperty("driverMallocCalls", std::to_string(driverMallocCalls.load()));
#endif
}

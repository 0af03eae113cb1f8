#pragma once
#include <cstdint>
#include <deque>
#include <initializer_list>
#include <string>
#include <vector>

#include "ScriptedWindowSystem.h"

// One escape as the driver received it: the code, the input bytes, the room
// given for an answer, and how far EGL had come at that moment.
struct SentEscape {
    int32_t code;
    std::vector<uint8_t> input;
    int32_t outputSize;
    int eglInitializeCalls;
    int eglTerminateCalls;
};

// A display driver with a secondary display controller, answering the five
// escapes as the test sets it up and keeping every escape it receives.
class ScriptedDriver {
public:
    uint32_t secondaryDisplay = 1;        // third word answered to the start-up query
    int32_t surfaceInfoResult = 1;        // negative: the surface query fails
    uint32_t physAddress = 0x8C100000;    // desktop surface address it reports
    uint32_t surfaceWord = 0x00C0FFEE;    // word 7 of the surface description
    int32_t secondarySurfaceResult = 1;   // negative: no secondary surface
    std::deque<int32_t> configureResults; // answers to successive configurations; 1 when none are left

    std::vector<SentEscape> sent;

    // Plugs the driver into `system`; it must outlive the system's use of it.
    void Attach(ScriptedWindowSystem& system);
    // The codes of the escapes received, in order.
    std::vector<int32_t> Codes() const;

private:
    int32_t Answer(int32_t code, int32_t inputSize, const void* input, int32_t outputSize, void* output);
};

// The little-endian bytes of 32-bit words, as the driver reads them.
std::vector<uint8_t> Words(std::initializer_list<uint32_t> words);

// Checks the recorded GDI calls: every screen DC taken is released, every DC
// created is deleted, every bitmap created is deleted and is no longer
// selected into a DC when it is, and a memory DC gets back the bitmap it came
// with before it is deleted. Returns the faults found, none when all is well.
std::vector<std::string> GdiFaults(const std::vector<std::string>& calls);

#include "ScriptedDriver.h"

#include <cstring>
#include <map>
#include <set>
#include <sstream>

#include "EglShim.h"
#include "dualdisplay/DualDisplay.h"
#include "shell/ce/TrellisPlatformCE.h"

using namespace trellis;

namespace {

void PutWord(void* buffer, int32_t size, int32_t offset, uint32_t word)
{
    if (buffer != nullptr && offset + 4 <= size) {
        std::memcpy(static_cast<uint8_t*>(buffer) + offset, &word, 4);
    }
}

uint32_t ReadWord(const void* buffer, int32_t size, int32_t offset)
{
    uint32_t word = 0;
    if (buffer != nullptr && offset + 4 <= size) {
        std::memcpy(&word, static_cast<const uint8_t*>(buffer) + offset, 4);
    }
    return word;
}

std::vector<std::string> Split(const std::string& line)
{
    std::istringstream stream(line);
    std::vector<std::string> parts;
    for (std::string part; stream >> part;) {
        parts.push_back(part);
    }
    return parts;
}

} // namespace

void ScriptedDriver::Attach(ScriptedWindowSystem& system)
{
    system.SetEscapeAnswer([this](int32_t code, int32_t inputSize, const void* input, int32_t outputSize,
                                  void* output) { return Answer(code, inputSize, input, outputSize, output); });
}

std::vector<int32_t> ScriptedDriver::Codes() const
{
    std::vector<int32_t> codes;
    for (const auto& escape : sent) {
        codes.push_back(escape.code);
    }
    return codes;
}

int32_t ScriptedDriver::Answer(int32_t code, int32_t inputSize, const void* input, int32_t outputSize, void* output)
{
    const auto* bytes = static_cast<const uint8_t*>(input);
    sent.push_back(SentEscape{code, std::vector<uint8_t>(bytes, bytes + (input != nullptr ? inputSize : 0)),
                              outputSize, EglShim::CallCount("eglInitialize"), EglShim::CallCount("eglTerminate")});
    switch (code) {
    case TrellisPlatformCE::kEscapeDualDisplayQuery:
        // Only the start-up form (first word 1) is a question.
        if (ReadWord(input, inputSize, 0) == 1) {
            PutWord(output, outputSize, 8, secondaryDisplay);
        }
        return 1;
    case DRVESC_GET_SURFACEINFO:
        // Words 2 to 6 carry values of their own that nobody reads.
        for (int32_t word = 0; word < 8; ++word) {
            PutWord(output, outputSize, word * 4, 0x11110000u + static_cast<uint32_t>(word));
        }
        PutWord(output, outputSize, 4, physAddress);
        PutWord(output, outputSize, 28, surfaceWord);
        return surfaceInfoResult;
    case kEscapeCreateSecondarySurface:
        return secondarySurfaceResult;
    case DRVESC_CONFIG_DISPLAYSYSTEM: {
        if (configureResults.empty()) {
            return 1;
        }
        const int32_t result = configureResults.front();
        configureResults.pop_front();
        return result;
    }
    default:
        return 1;
    }
}

std::vector<uint8_t> Words(std::initializer_list<uint32_t> words)
{
    std::vector<uint8_t> bytes;
    for (const uint32_t word : words) {
        for (int shift = 0; shift < 32; shift += 8) {
            bytes.push_back(static_cast<uint8_t>(word >> shift));
        }
    }
    return bytes;
}

std::vector<std::string> GdiFaults(const std::vector<std::string>& calls)
{
    std::vector<std::string> faults;
    int screenDCs = 0;
    std::set<std::string> dcs;
    std::set<std::string> bitmaps;
    std::map<std::string, std::string> selected;  // DC -> bitmap in it
    std::map<std::string, std::string> original;  // memory DC -> the bitmap it came with
    for (const auto& call : calls) {
        const auto part = Split(call);
        const std::string& name = part[0];
        if (name == "GetDC" && part[1] == "0") {
            ++screenDCs;
        } else if (name == "ReleaseDC" && part[1] == "0") {
            if (--screenDCs < 0) {
                faults.push_back("screen DC released more often than taken: " + call);
            }
        } else if (name == "CreateDC" || name == "CreateCompatibleDC") {
            dcs.insert(part.back());
        } else if (name == "CreateCompatibleBitmap") {
            bitmaps.insert(part.back());
        } else if (name == "GetCurrentObject") {
            selected[part[1]] = part.back();
            original[part[1]] = part.back();
        } else if (name == "SelectObject") {
            selected[part[1]] = part[2];
        } else if (name == "DeleteObject") {
            if (bitmaps.erase(part[1]) == 0) {
                faults.push_back("deleted an object never created: " + call);
            }
            for (const auto& [dc, bitmap] : selected) {
                if (bitmap == part[1] && dcs.count(dc) != 0) {
                    faults.push_back("deleted a bitmap still selected into " + dc + ": " + call);
                }
            }
        } else if (name == "DeleteDC") {
            if (dcs.erase(part[1]) == 0) {
                faults.push_back("deleted a DC never created: " + call);
            }
            if (original.count(part[1]) != 0 && selected[part[1]] != original[part[1]]) {
                faults.push_back("deleted a DC without its own bitmap back: " + call);
            }
        }
    }
    if (screenDCs != 0) {
        faults.push_back(std::to_string(screenDCs) + " screen DC(s) never released");
    }
    for (const auto& dc : dcs) {
        faults.push_back("DC never deleted: " + dc);
    }
    for (const auto& bitmap : bitmaps) {
        faults.push_back("bitmap never deleted: " + bitmap);
    }
    return faults;
}

// The process arguments as the shell's 16-bit command line.
#include <string>

#include "shell/Entry.h"

namespace {

// Appends the UTF-8 text `in` as UTF-16; malformed bytes are taken as Latin-1.
void AppendUtf16(std::u16string& out, const std::string& in)
{
    for (size_t i = 0; i < in.size();) {
        const unsigned char lead = static_cast<unsigned char>(in[i]);
        const unsigned length = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3 : (lead >> 3) == 0x1E ? 4 : 0;
        char32_t c = length == 1 ? lead : length == 2 ? lead & 0x1F : length == 3 ? lead & 0x0F : lead & 0x07;
        bool valid = length != 0 && i + length <= in.size();
        for (unsigned k = 1; valid && k < length; ++k) {
            const unsigned char next = static_cast<unsigned char>(in[i + k]);
            valid = (next & 0xC0) == 0x80;
            c = (c << 6) | (next & 0x3F);
        }
        if (!valid) {
            out.push_back(lead);
            ++i;
            continue;
        }
        if (c >= 0x10000) {
            c -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(c));
        }
        i += length;
    }
}

} // namespace

std::u16string TrellisCommandLine(int argc, char** argv)
{
    std::u16string commandLine;
    for (int i = 1; i < argc; ++i) {
        if (i > 1) {
            commandLine.push_back(u' ');
        }
        AppendUtf16(commandLine, argv[i]);
    }
    return commandLine;
}

#include "capture/ImageFileInternal.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "capture/Capture.h"
#include "shell/DebugOutput.h"

namespace {

// Length of the UTF-8 sequence that starts at `text`, with its code point, or 0
// when the bytes are not one.
unsigned DecodeUtf8(const unsigned char* text, char32_t* c)
{
    const unsigned char lead = text[0];
    const unsigned length = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3 : (lead >> 3) == 0x1E ? 4 : 0;
    char32_t value = length == 1 ? lead : length == 2 ? lead & 0x1F : length == 3 ? lead & 0x0F : lead & 0x07;
    for (unsigned k = 1; k < length; ++k) {
        if ((text[k] & 0xC0) != 0x80) {
            return 0;
        }
        value = (value << 6) | (text[k] & 0x3F);
    }
    *c = value;
    return length;
}

const char* FormatName(ImageFormat format)
{
    return format == ImageFormat::kBmp ? "BMP" : "PNG";
}

} // namespace

void CaptureLog(const char* format, ...)
{
    char text[512];
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(text, sizeof text, format, arguments);
    va_end(arguments);

    // File names are UTF-8; bytes that are not are shown as Latin-1.
    char16_t wide[sizeof text + 1];
    size_t out = 0;
    const unsigned char* in = reinterpret_cast<const unsigned char*>(text);
    while (*in != 0) {
        char32_t c = 0;
        const unsigned length = DecodeUtf8(in, &c);
        if (length == 0) {
            c = *in;
        }
        in += length == 0 ? 1 : length;
        if (c >= 0x10000) {
            c -= 0x10000;
            wide[out++] = char16_t(0xD800 + (c >> 10));
            wide[out++] = char16_t(0xDC00 + (c & 0x3FF));
        } else {
            wide[out++] = char16_t(c);
        }
    }
    wide[out] = 0;
    TrellisDebugOutput(wide);
}

NewFile::~NewFile()
{
    if (fd >= 0) {
        close(fd);
        unlink(path.c_str());
    }
}

int NewFile::Create(const char* name)
{
    // O_EXCL refuses any existing name, a symbolic link included, whether or
    // not it points anywhere; nothing is opened through a link.
    fd = open(name, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0) {
        return errno;
    }
    path = name;
    return 0;
}

int NewFile::CreateReplacing(const char* name)
{
    struct stat existing;
    if (lstat(name, &existing) == 0 && S_ISLNK(existing.st_mode)) {
        return ELOOP;
    }
    std::string temporary = std::string(name) + ".XXXXXX";
    fd = mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) {
        return errno;
    }
    // mkostemp makes the file private; the picture gets the permissions any new file would.
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
    path = temporary;
    replacement = name;
    return 0;
}

void NewFile::Fail(int reason)
{
    if (error == 0) {
        error = reason;
    }
}

bool NewFile::Flush()
{
    const uint8_t* at = block;
    while (error == 0 && used > 0) {
        const ssize_t written = write(fd, at, used);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            Fail(written < 0 ? errno : ENOSPC);
            break;
        }
        at += written;
        used -= size_t(written);
    }
    used = 0;
    return error == 0;
}

bool NewFile::Append(const uint8_t* bytes, size_t count)
{
    while (error == 0 && count > 0) {
        const size_t room = sizeof block - used;
        const size_t take = count < room ? count : room;
        std::memcpy(block + used, bytes, take);
        used += take;
        bytes += take;
        count -= take;
        if (used == sizeof block) {
            Flush();
        }
    }
    return error == 0;
}

int NewFile::Finish()
{
    Flush();
    // Some file systems report a failed write only when the file is closed.
    if (close(fd) != 0) {
        Fail(errno);
    }
    fd = -1;
    if (error == 0 && !replacement.empty() && rename(path.c_str(), replacement.c_str()) != 0) {
        Fail(errno);
    }
    if (error != 0) {
        unlink(path.c_str());
    }
    return error;
}

int32_t WriteImageFile(ImageFormat format, const char* name, int32_t width, int32_t height, const uint8_t* pixels,
                       TrellisExistingFile existing, bool* taken)
{
    if (pixels == nullptr || width <= 0 || height <= 0 || width > kTrellisLargestImageSide ||
        height > kTrellisLargestImageSide) {
        CaptureLog("Can't write a %s file without pixels or of a negative or too large size.\n", FormatName(format));
        return 1;
    }
    const char* shown = name != nullptr ? name : "";
    NewFile file;
    const int refused = name == nullptr                           ? ENOENT
                        : existing == TrellisExistingFile::kKeep ? file.Create(name)
                                                                 : file.CreateReplacing(name);
    if (refused == EEXIST && taken != nullptr) {
        *taken = true;
        return 1;
    }
    if (refused != 0) {
        CaptureLog("Failed to open %s for writing screen dump.\n", shown);
        CaptureLog("%s: %s\n", shown, std::strerror(refused));
        return 1;
    }
    if (format == ImageFormat::kBmp) {
        EncodeBmp(file, width, height, pixels);
    } else {
        EncodePng(file, width, height, pixels);
    }
    const int failed = file.Finish();
    if (failed != 0) {
        CaptureLog("Wrote wrong number of bytes to %s file.\n", FormatName(format));
        CaptureLog("%s: %s; the partial file was removed.\n", shown, std::strerror(failed));
        return 1;
    }
    return 0;
}

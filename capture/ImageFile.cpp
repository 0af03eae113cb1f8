#include "capture/ImageFileInternal.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "capture/Capture.h"
#include "shell/DebugOutput.h"

namespace trellis {

namespace {

const char* FormatName(ImageFormat format)
{
    return format == ImageFormat::kBmp ? "BMP" : "PNG";
}

// Symbolic links a name passes through before the write gives up, as the system does.
constexpr int kMostLinks = 40;

// The name that opening `name` would write: symbolic links followed to their
// last target, which need not exist yet.
int FollowLinks(const char* name, std::string* target)
{
    std::string path = name;
    for (int hops = 0; hops < kMostLinks; ++hops) {
        char link[PATH_MAX];
        const ssize_t length = readlink(path.c_str(), link, sizeof link - 1);
        if (length < 0) {
            *target = path;
            return errno == EINVAL || errno == ENOENT ? 0 : errno;
        }
        link[length] = '\0';
        const size_t folder = path.rfind('/');
        path = link[0] == '/' || folder == std::string::npos ? std::string(link) : path.substr(0, folder + 1) + link;
    }
    return ELOOP;
}

mode_t NewFileMode()
{
    const mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

// 0 when the existing file `name` may be replaced: a regular file that this
// process could open for writing, with no other name that would keep the old
// bytes. Nothing is written, and a device is never opened.
int MayReplace(const char* name, const struct stat& existing)
{
    if (S_ISDIR(existing.st_mode)) {
        return EISDIR;
    }
    if (!S_ISREG(existing.st_mode)) {
        return S_ISFIFO(existing.st_mode) ? kRefusedFifo : S_ISSOCK(existing.st_mode) ? kRefusedSocket : kRefusedDevice;
    }
    if (existing.st_nlink > 1) {
        return kRefusedHardLink;
    }
    // Opening asks the system itself: permissions, access lists, read-only
    // mounts and immutable files all answer here, without truncating anything.
    const int fd = open(name, O_WRONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        return errno;
    }
    close(fd);
    return 0;
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
    TrellisDebugOutputUtf8(text);
}

const char* RefusalText(int refusal)
{
    switch (refusal) {
    case kRefusedFifo:
        return "Is a FIFO, not a regular file";
    case kRefusedSocket:
        return "Is a socket, not a regular file";
    case kRefusedDevice:
        return "Is a device, not a regular file";
    case kRefusedHardLink:
        return "Has other names (hard links), which would keep the old picture";
    default:
        return std::strerror(refusal);
    }
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
    // An empty name names no file, as open() has it; the temporary beside it
    // would otherwise be kept under its own name.
    if (*name == '\0') {
        return ENOENT;
    }
    std::string target;
    const int unreachable = FollowLinks(name, &target);
    if (unreachable != 0) {
        return unreachable;
    }
    struct stat existing {};
    const bool replacing = stat(target.c_str(), &existing) == 0;
    if (!replacing && errno != ENOENT) {
        return errno;
    }
    const int refused = replacing ? MayReplace(target.c_str(), existing) : 0;
    if (refused != 0) {
        return refused;
    }
    std::string temporary = target + ".XXXXXX";
    fd = mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) {
        return errno;
    }
    path = temporary;
    // mkostemp makes the file private: it takes the permissions of the file it
    // replaces (and its owner, where this process may give it away), or those
    // any new file gets.
    if (replacing && fchown(fd, existing.st_uid, existing.st_gid) != 0 && errno != EPERM) {
        return errno;
    }
    if (fchmod(fd, replacing ? existing.st_mode & 07777 : NewFileMode()) != 0) {
        return errno;
    }
    replacement = target;
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
        renameFailed = true;
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
        CaptureLog("%s: %s\n", shown, RefusalText(refused));
        return 1;
    }
    if (format == ImageFormat::kBmp) {
        EncodeBmp(file, width, height, pixels);
    } else {
        EncodePng(file, width, height, pixels);
    }
    const int failed = file.Finish();
    if (failed != 0 && file.RenameFailed()) {
        CaptureLog("Failed to put the new %s file in place of %s.\n", FormatName(format), shown);
        CaptureLog("%s: %s; the new file was removed.\n", shown, std::strerror(failed));
        return 1;
    }
    if (failed != 0) {
        CaptureLog("Wrote wrong number of bytes to %s file.\n", FormatName(format));
        CaptureLog("%s: %s; the partial file was removed.\n", shown, std::strerror(failed));
        return 1;
    }
    return 0;
}

} // namespace trellis

#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "capture/Capture.h"

namespace trellis {

// What the BMP and PNG writers and the screen dumps share: the log, the
// file that is only ever created new, and the encoders.

// printf-style line on the debug output, as ShellLog writes it (UTF-8 text is
// kept whole).
void CaptureLog(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Refusals of a name that have no errno of their own (errno values are positive).
enum : int {
    kRefusedFifo = -1,
    kRefusedSocket = -2,
    kRefusedDevice = -3,
    kRefusedHardLink = -4,
};

// What a refusal (an errno or one of the above) says to the user.
const char* RefusalText(int refusal);

// A file created by this process and removed again unless Finish succeeds.
// Writes are buffered in a fixed block: writing a picture allocates nothing
// more than the file's name.
class NewFile {
public:
    NewFile() = default;
    ~NewFile();
    NewFile(const NewFile&) = delete;
    NewFile& operator=(const NewFile&) = delete;

    // 0, or the errno of the refusal (EEXIST when anything, even a dangling
    // symbolic link, has the name).
    int Create(const char* name);
    // 0, or the refusal: the name, its symbolic links followed, must be new
    // or a regular file that this process may open for writing and that has
    // no other hard link. The bytes go to a new file beside it that takes its
    // place, owner and permissions only when Finish succeeds, so a failed
    // write leaves an existing file as it was.
    int CreateReplacing(const char* name);
    // False once any write has failed; the first failure's errno is kept.
    bool Append(const uint8_t* bytes, size_t count);
    // Writes what is buffered and closes; on any failure removes the file and
    // returns the errno, else 0.
    int Finish();
    // Records a failure that is not the system's (an encoder out of memory).
    void Fail(int error);
    // The bytes were all written but could not take the name they replace.
    bool RenameFailed() const { return renameFailed; }

private:
    bool Flush();

    int fd = -1;
    int error = 0;
    bool renameFailed = false;
    std::string path;         // the file being written
    std::string replacement;  // the name it takes when finished, if not `path`
    size_t used = 0;
    uint8_t block[32768];
};

enum class ImageFormat { kBmp, kPng };

// The encoders, for a size already checked: false when the file could not
// take the bytes (the reason is kept in the file).
bool EncodeBmp(NewFile& file, int32_t width, int32_t height, const uint8_t* pixels);
bool EncodePng(NewFile& file, int32_t width, int32_t height, const uint8_t* pixels);

// Writes `pixels` (the capture layout: BGR, packed rows, bottom row first) as a
// file of `format`, logging any failure. 0 on success, 1 on failure. When
// `taken` is not null and the name already exists (kKeep), sets it and
// returns 1 without a message, so that a caller can try the next name.
int32_t WriteImageFile(ImageFormat format, const char* name, int32_t width, int32_t height, const uint8_t* pixels,
                       TrellisExistingFile existing, bool* taken);

} // namespace trellis

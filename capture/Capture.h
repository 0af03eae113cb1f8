#pragma once
#include <cstddef>
#include <cstdint>

namespace trellis {

/// @file
/// Screen capture, screen dumps and BMP / PNG files, usable without an
/// application object (TrellisApp's members of the same names call these).
///
/// Every function here takes or gives pixels in one layout, the one the frame
/// is read back in: 24 bits per pixel as blue, green, red; rows packed one after
/// the other without padding; the bottom row first. A buffer for width x height
/// pixels therefore holds width * height * 3 bytes.
///
/// Results: 0 for success, non-zero for failure; failures are described on the
/// debug output (standard error), with the system's reason where there is one.
///
/// Files are never destroyed. A dump creates its file and refuses a name that
/// already exists (a symbolic link counts as existing and is not followed). A
/// writer given a name writes what opening that name would: symbolic links are
/// followed to their target, and a file this process may not open for writing
/// is refused and left as it is. The new picture goes to a file beside the
/// target that takes its place, its permissions and, where the system allows,
/// its owner only once it is complete. A name that is not a regular file (a
/// directory, a device, a FIFO, a socket) is refused, never replaced; so is a
/// file with more than one hard link, whose other names would go on showing the
/// old picture. A write that fails part way removes what it had written and
/// leaves any file of that name as it was.

/// Dump names are "<prefix>NNNN.bmp" or "<prefix>NNNN.png" with NNNN from 0000
/// to 9999, in a buffer of this many bytes, so a prefix has at most 191
/// characters.
constexpr size_t kTrellisDumpNameSize = 200;

/// The largest width and height written as BMP or PNG, read back by
/// TrellisCaptureFrame and read from a BMP file.
constexpr int32_t kTrellisLargestImageSide = 16384;

/// Reads the current frame back from the current GL context. On success
/// *pixels points at a new buffer (release it with delete[]). 1: the size is
/// negative or larger than kTrellisLargestImageSide, or no memory for the
/// read-back; 2: no memory for the result; 3: glReadPixels raised a GL error
/// (the result buffer, if any, is still the caller's to release).
int32_t TrellisCaptureFrame(int32_t width, int32_t height, uint8_t** pixels);

/// Writes `pixels` as a BMP file under the first free name "<prefix>NNNN.bmp".
/// `chosenName`, when not null, receives that name once the file is written,
/// and "" when none was (kTrellisDumpNameSize bytes).
/// 0 on success; 11 when nothing could be written, including when all 10000
/// names are taken.
int32_t TrellisSaveScreenDump(const char* prefix, char* chosenName, int32_t width, int32_t height,
                              const uint8_t* pixels);

/// The same as a PNG file, "<prefix>NNNN.png".
int32_t TrellisSavePngDump(const char* prefix, char* chosenName, int32_t width, int32_t height,
                           const uint8_t* pixels);

/// What a writer given a name does when a file of that name exists.
enum class TrellisExistingFile { kReplace, kKeep };

/// Writes a 24-bit BMP file (rows padded to 4 bytes as the format wants).
/// 0 on success, 1 on failure (bad size, no pixels, the name refused as above
/// or, with kKeep, existing or a symbolic link; the write failed).
int32_t TrellisWriteBMP(const char* fileName, int32_t width, int32_t height, const uint8_t* pixels,
                        TrellisExistingFile existing = TrellisExistingFile::kReplace);

/// Writes an 8-bit RGB PNG file, on the same terms. 0 on success, 1 on failure.
int32_t TrellisWritePNG(const char* fileName, int32_t width, int32_t height, const uint8_t* pixels,
                        TrellisExistingFile existing = TrellisExistingFile::kReplace);

/// Reads an uncompressed 24-bit BMP file, bottom-up or top-down, of at most
/// kTrellisLargestImageSide a side, into `pixels`. Rows are padded as the
/// format wants, or packed in a file of exactly 54 + width * height * 3 bytes
/// (as this library once wrote them).
///
/// Call it first with `pixels` null to learn the size: it then returns 1 with
/// *width and *height set, but only for a file that can be read whole. With
/// `pixels`, *width and *height must give the size the buffer holds (width *
/// height * 3 bytes); nothing larger is written into it: a file wider or taller
/// is refused, with *width and *height set to its size, so that a file
/// replaced between the two calls can never overrun the buffer. 0 on success
/// (the file's width * height * 3 bytes of `pixels` written, and its size in
/// *width and *height); 1 on failure, with *width and *height set to 0 when the
/// file cannot be read (a compressed file's size is still given).
int32_t TrellisReadBMP(const char* fileName, int32_t* width, int32_t* height, uint8_t* pixels);

} // namespace trellis

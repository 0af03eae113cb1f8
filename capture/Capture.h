#pragma once
#include <cstddef>
#include <cstdint>

// Screen capture, screen dumps and BMP / PNG files, usable without an
// application object (TrellisApp's members of the same names call these).
//
// Every function here takes or gives pixels in one layout, the one the frame
// is read back in: 24 bits per pixel as blue, green, red; rows packed one after
// the other without padding; the bottom row first. A buffer for width x height
// pixels therefore holds width * height * 3 bytes.
//
// Results: 0 for success, non-zero for failure; failures are described on the
// debug output (standard error), with the system's reason where there is one.
//
// Files are never destroyed: a dump creates its file and refuses a name that
// already exists (a symbolic link counts as existing and is not followed); a
// writer given a name replaces that file only once the new one is complete,
// and refuses a symbolic link. A write that fails part way removes what it had
// written and leaves any file of that name as it was.

// Dump names are "<prefix>NNNN.bmp" or "<prefix>NNNN.png" with NNNN from 0000
// to 9999, in a buffer of this many bytes, so a prefix has at most 191
// characters.
constexpr size_t kTrellisDumpNameSize = 200;

// The largest width and height written as BMP or PNG, and read back by
// TrellisCaptureFrame.
constexpr int32_t kTrellisLargestImageSide = 16384;

// Reads the current frame back from the current GL context. On success
// *pixels points at a new buffer (release it with delete[]). 1: the size is
// negative or larger than kTrellisLargestImageSide, or no memory for the
// read-back; 2: no memory for the result; 3: glReadPixels raised a GL error
// (the result buffer, if any, is still the caller's to release).
int32_t TrellisCaptureFrame(int32_t width, int32_t height, uint8_t** pixels);

// Writes `pixels` as a BMP file under the first free name "<prefix>NNNN.bmp".
// `chosenName`, when not null, receives that name (kTrellisDumpNameSize bytes).
// 0 on success; 11 when nothing could be written, including when all 10000
// names are taken.
int32_t TrellisSaveScreenDump(const char* prefix, char* chosenName, int32_t width, int32_t height,
                              const uint8_t* pixels);

// The same as a PNG file, "<prefix>NNNN.png".
int32_t TrellisSavePngDump(const char* prefix, char* chosenName, int32_t width, int32_t height,
                           const uint8_t* pixels);

// What a writer given a name does when a file of that name exists.
enum class TrellisExistingFile { kReplace, kKeep };

// Writes a 24-bit BMP file (rows padded to 4 bytes as the format wants).
// 0 on success, 1 on failure (bad size, no pixels, the name is a symbolic
// link or, with kKeep, exists; the write failed).
int32_t TrellisWriteBMP(const char* fileName, int32_t width, int32_t height, const uint8_t* pixels,
                        TrellisExistingFile existing = TrellisExistingFile::kReplace);

// Writes an 8-bit RGB PNG file, on the same terms. 0 on success, 1 on failure.
int32_t TrellisWritePNG(const char* fileName, int32_t width, int32_t height, const uint8_t* pixels,
                        TrellisExistingFile existing = TrellisExistingFile::kReplace);

// Reads an uncompressed 24-bit BMP file, bottom-up or top-down, into `pixels`,
// which must hold width * height * 3 bytes. Call it first with `pixels` null to
// learn the size: it then returns 1 with *width and *height set, but only for a
// file that can be read whole. 0 on success (every byte of `pixels` written);
// 1 on failure, with *width and *height set to 0 when the file cannot be read.
int32_t TrellisReadBMP(const char* fileName, int32_t* width, int32_t* height, uint8_t* pixels);

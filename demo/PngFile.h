#pragma once
#include <cstdint>

// Writes an 8-bit RGB PNG from a frame in the layout TrellisCaptureFrame
// returns: blue, green, red per pixel, rows padded to 4 bytes, bottom row
// first. 0 on success, 1 when the size is unusable, 2 when compression fails,
// 3 when the file cannot be written.
int32_t WritePngFromCapture(const char* path, int32_t width, int32_t height, const uint8_t* pixels);

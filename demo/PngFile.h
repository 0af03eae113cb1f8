#pragma once
#include <cstdint>

// 8-bit RGB PNG files: the capture program's pictures and the asset
// generator's. Each returns 0 on success, 1 when the size is unusable or there
// are no pixels, 2 when compression fails, 3 when the file cannot be written.

// `rgb`: red, green, blue per pixel, rows packed, top row first.
int32_t WritePngFile(const char* path, int32_t width, int32_t height, const uint8_t* rgb);

// From a frame in the layout TrellisCaptureFrame returns: blue, green, red per
// pixel, rows packed one after the other, bottom row first.
int32_t WritePngFromCapture(const char* path, int32_t width, int32_t height, const uint8_t* bgr);

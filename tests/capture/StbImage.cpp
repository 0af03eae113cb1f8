// stb_image's BMP and PNG decoders, built here as an independent reader of our files.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wall"
#pragma GCC diagnostic ignored "-Wextra"
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_BMP
#define STBI_ONLY_PNG
#define STBI_NO_STDIO_FAILURE_STRINGS
#include <stb/stb_image.h>
#pragma GCC diagnostic pop

#pragma once
#include "Texture.h"

// The panorama on the backdrop: meadows, hills and sky, tiling in s.
Image Panorama(int width, int height);

// The ZEL logo, rows bottom-up.
Image Logo(int size);

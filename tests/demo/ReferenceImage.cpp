#include "ReferenceImage.h"

#include <stb/stb_image.h>

#include <algorithm>
#include <cstdlib>

RgbImage ReadPng(const std::string& path)
{
    RgbImage image;
    int channels = 0;
    stbi_uc* data = stbi_load(path.c_str(), &image.width, &image.height, &channels, 3);
    if (data == nullptr) {
        return RgbImage{};
    }
    image.rgb.assign(data, data + size_t(image.width) * size_t(image.height) * 3);
    stbi_image_free(data);
    return image;
}

RgbImage FromReadback(int width, int height, const std::vector<uint8_t>& rgba)
{
    RgbImage image{width, height, {}};
    image.rgb.reserve(size_t(width) * size_t(height) * 3);
    for (int row = height - 1; row >= 0; --row) {
        const uint8_t* pixel = rgba.data() + size_t(row) * size_t(width) * 4;
        for (int x = 0; x < width; ++x, pixel += 4) {
            image.rgb.insert(image.rgb.end(), pixel, pixel + 3);
        }
    }
    return image;
}

ImageDifference Compare(const RgbImage& a, const RgbImage& b, int slack)
{
    if (a.width != b.width || a.height != b.height || a.rgb.size() != b.rgb.size() || a.rgb.empty()) {
        return ImageDifference{255, 1.0};
    }
    int largest = 0;
    size_t beyond = 0;
    for (size_t i = 0; i < a.rgb.size(); i += 3) {
        int worst = 0;
        for (size_t c = 0; c < 3; ++c) {
            worst = std::max(worst, std::abs(int(a.rgb[i + c]) - int(b.rgb[i + c])));
        }
        largest = std::max(largest, worst);
        beyond += worst > slack ? 1 : 0;
    }
    return ImageDifference{largest, double(beyond) / double(a.rgb.size() / 3)};
}

#pragma once
#include <cstdint>
#include <string>
#include <vector>

// A picture as RGB bytes, top row first.
struct RgbImage {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgb;
};

// Reads a PNG file; an empty image when it cannot.
RgbImage ReadPng(const std::string& path);

// RGBA read back from GL (bottom row first) as a top-down RGB picture.
RgbImage FromReadback(int width, int height, const std::vector<uint8_t>& rgba);

// How far two pictures of one size differ: the largest per-channel difference
// and the fraction of pixels with any channel off by more than `slack`.
struct ImageDifference {
    int largest;
    double fractionBeyondSlack;
};
ImageDifference Compare(const RgbImage& a, const RgbImage& b, int slack);

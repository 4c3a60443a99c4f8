#pragma once

#include <cstddef>
#include <vector>

// An image of floats, row by row from the top, with 3 channels (RGB) or 4 (RGB and alpha, the
// colour premultiplied by it). What the values mean (linear light or encoded) is the caller's.
struct Image {
    int width = 0;
    int height = 0;
    int channels = 3;
    std::vector<float> pixels; // width * height * channels

    float *pixel(int x, int y) { return &pixels[(static_cast<size_t>(y) * width + x) * channels]; }
    const float *pixel(int x, int y) const {
        return &pixels[(static_cast<size_t>(y) * width + x) * channels];
    }
};

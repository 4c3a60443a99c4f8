#pragma once

#include <cstddef>
#include <vector>

// An RGB image of floats, row by row from the top; 0 to 1 is the file's full range.
struct Image {
    int width = 0;
    int height = 0;
    std::vector<float> rgb; // width * height * 3

    float *pixel(int x, int y) { return &rgb[(static_cast<size_t>(y) * width + x) * 3]; }
    const float *pixel(int x, int y) const {
        return &rgb[(static_cast<size_t>(y) * width + x) * 3];
    }
};

#include "colour.h"

#include <cmath>

float SrgbToLinear(float encoded) {
    return encoded <= 0.04045f ? encoded / 12.92f
                               : static_cast<float>(std::pow((encoded + 0.055) / 1.055, 2.4));
}

float LinearToSrgb(float linear) {
    return linear <= 0.0031308f
               ? linear * 12.92f
               : static_cast<float>(1.055 * std::pow(static_cast<double>(linear), 1 / 2.4) - 0.055);
}

namespace {

// The exact inverse of LinearToSrgb, in double precision, for the code boundaries.
double SrgbToLinearExact(double encoded) {
    return encoded <= 0.04045 ? encoded / 12.92 : std::pow((encoded + 0.055) / 1.055, 2.4);
}

} // namespace

SrgbQuantizer::SrgbQuantizer(int bits) {
    const std::uint32_t full = (1u << bits) - 1;
    boundaries_.reserve(full);
    for (std::uint32_t code = 1; code <= full; ++code) {
        boundaries_.push_back(static_cast<float>(SrgbToLinearExact((code - 0.5) / full)));
    }
}

std::uint32_t SrgbQuantizer::code(float linear) const {
    // The number of boundaries at or below the value is its code.
    std::uint32_t low = 0;
    std::uint32_t high = static_cast<std::uint32_t>(boundaries_.size());
    if (!(linear > 0.0f)) {
        return 0;
    }
    while (low < high) {
        const std::uint32_t middle = (low + high) / 2;
        if (boundaries_[middle] <= linear) {
            low = middle + 1;
        } else {
            high = middle;
        }
    }
    return low;
}

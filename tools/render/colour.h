#pragma once

#include <cstdint>
#include <vector>

// How stored values relate to light. Integer images (8 and 16 bits) hold sRGB-encoded values,
// float images linear ones; the renderer filters and averages in linear light. Raw passes
// values through untouched, for images that hold data rather than light.
enum class ColourMode { kManaged, kRaw };

// The sRGB transfer functions (IEC 61966-2-1), for values in 0 to 1.
float SrgbToLinear(float encoded);
float LinearToSrgb(float linear);

// Exact encoding of linear values to integer codes: the code whose sRGB value, decoded, is the
// nearest in the encoded scale (the rounding of LinearToSrgb(v) * full scale), found among the
// code boundaries by bisection. Values outside 0 to 1 are clamped.
class SrgbQuantizer {
  public:
    explicit SrgbQuantizer(int bits);
    std::uint32_t code(float linear) const;

  private:
    std::vector<float> boundaries_; // linear value where each code above 0 begins
};

#pragma once

#include "colour.h"
#include "image.h"

#include <memory>
#include <string>

struct Rgb {
    float r, g, b;
};

// What the camera looks at: a colour for every direction. World axes as in the host: +X right,
// +Y up, +Z ahead. Called from many threads at once, so sampling changes nothing.
class Environment {
  public:
    virtual ~Environment() = default;
    // direction need not have unit length; a zero direction is black.
    virtual Rgb sample(double x, double y, double z) const = 0;
};

// A sky and ground with latitude and longitude lines every 15 degrees, the horizon, and the
// six axis directions marked: +X red, -X cyan, +Y green, -Y magenta, +Z blue, -Z yellow. Its
// colours are given as sRGB values, in linear light unless the colour is raw.
std::unique_ptr<Environment> MakeGridSky(ColourMode colour);

// How a panorama is sampled between texel centres: bilinear, or bicubic (Catmull-Rom) for a
// sharper picture where the panorama is enlarged.
enum class Filter { kBilinear, kBicubic };

// An equirectangular (latitude-longitude) panorama, 2:1, wrapped in longitude, in the form
// ReadImage gives. Its centre column looks along +Z, its right half towards +X, its top row up.
// Throws ImageError for a file that cannot be read or is not 2:1.
std::unique_ptr<Environment> LoadPanorama(const std::string &path, ColourMode colour,
                                          Filter filter);
std::unique_ptr<Environment> MakePanorama(Image image, Filter filter);

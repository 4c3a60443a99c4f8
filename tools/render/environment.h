#pragma once

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
// six axis directions marked: +X red, -X cyan, +Y green, -Y magenta, +Z blue, -Z yellow.
std::unique_ptr<Environment> MakeGridSky();

// An equirectangular (latitude-longitude) panorama, 2:1, sampled bilinearly and wrapped in
// longitude. Its centre column looks along +Z, its right half towards +X, its top row up.
// Throws PngError for a file that cannot be read or is not 2:1.
std::unique_ptr<Environment> LoadPanorama(const std::string &path);

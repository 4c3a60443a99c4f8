#pragma once

#include "image.h"

#include <cstdio>
#include <functional>
#include <stdexcept>
#include <string>

class PngError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// The most memory a panorama may take once decoded (4 bytes for each colour of each texel):
// a 16384 by 8192 panorama takes 1.5 GiB.
constexpr double kPanoramaMemoryLimitBytes = 2.0 * 1024 * 1024 * 1024;

// Reads an 8- or 16-bit PNG of any colour type into RGB (grey is spread, palettes expanded,
// alpha dropped). Values pass through unchanged: no gamma or colour conversion. The size in
// the file's header is checked against the memory limit before anything is allocated. Throws
// PngError naming the file and the cause.
Image ReadPng(const std::string &path);

// Writes an 8- or 16-bit RGB PNG to the stream, telling progress the fraction of rows written.
// Throws PngError naming the file and the cause (a full disk, say).
void WritePng(std::FILE *stream, const std::string &name, const Image &image, int bits,
              const std::function<void(double)> &progress = {});

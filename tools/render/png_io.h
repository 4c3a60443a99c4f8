#pragma once

#include "image.h"

#include <stdexcept>
#include <string>

class PngError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// Reads an 8- or 16-bit PNG of any colour type into RGB (grey is spread, palettes expanded,
// alpha dropped). Values pass through unchanged: no gamma or colour conversion. Throws
// PngError naming the file.
Image ReadPng(const std::string &path);

// Writes an 8- or 16-bit RGB PNG through a temporary file renamed into place, so a failed
// write leaves nothing half-written. Throws PngError naming the file.
void WritePng(const std::string &path, const Image &image, int bits);

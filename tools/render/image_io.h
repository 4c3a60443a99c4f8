#pragma once

#include "colour.h"
#include "image.h"

#include <cstdio>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

// An image that cannot be read or written; the text names the file and the cause.
class ImageError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// The most memory a panorama may take while it is read: 12 bytes a texel for the colours as
// floats, and the file's own texels as the reader holds them (16384 by 8192 in 8-bit RGB takes
// 1.9 GiB).
constexpr double kPanoramaMemoryLimitBytes = 2.0 * 1024 * 1024 * 1024;

// Reads an image in any format OpenImageIO reads (PNG, JPEG, TIFF, OpenEXR, Radiance HDR and
// more) into RGB floats: grey is spread, alpha dropped. Managed colour turns integer images'
// sRGB values into linear light; float images are linear already. The size in the file's
// header is checked against the memory limit before anything is allocated.
Image ReadImage(const std::string &path, ColourMode colour);

// How an output is written, chosen by its file name's extension.
struct OutputFormat {
    std::string plugin;    // OpenImageIO's name of the format
    std::vector<int> bits; // the bits per channel it can store, the default first
    bool alpha = false;    // whether it can store an alpha channel
};

// Throws ImageError for an extension the renderer does not write.
OutputFormat FormatFor(const std::string &path);
// ".png, .jpg, .tif, .exr or .hdr": what FormatFor knows, for messages and help.
std::string KnownExtensions();

// Writes the image to the stream in the format, telling progress the fraction of rows
// written; a format whose library must open the file itself opens writingPath. The values are
// converted on up to threads threads. The values are
// converted on up to threads threads. Integer formats get
// sRGB-encoded values (managed colour) and unassociated alpha; float formats (16 bits: half) get
// linear values and premultiplied alpha. Without alpha in the format, the colour over black is
// written. Throws ImageError naming the file and the cause.
void WriteImage(std::FILE *stream, const std::string &writingPath, const std::string &name,
                const Image &image, const OutputFormat &format, int bits, ColourMode colour,
                int threads = 1, const std::function<void(double)> &progress = {});

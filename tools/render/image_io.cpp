#include "image_io.h"

#include <OpenImageIO/filesystem.h>
#include <OpenImageIO/imageio.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <new>
#include <sys/stat.h>
#include <system_error>
#include <thread>

namespace {

std::string Size(double bytes) {
    char text[32];
    if (bytes >= 1024.0 * 1024 * 1024) {
        std::snprintf(text, sizeof text, "%.1f GiB", bytes / (1024.0 * 1024 * 1024));
    } else {
        std::snprintf(text, sizeof text, "%.0f MiB", bytes / (1024.0 * 1024));
    }
    return text;
}

// The renderer makes its own threads, and carries on with fewer when the system refuses some;
// the image library's pools would end the process instead, so they stay empty.
void UseNoLibraryThreads() {
    static const bool set = [] {
        OIIO::attribute("threads", 1);
        OIIO::attribute("exr_threads", 0);
        return true;
    }();
    (void)set;
}

// What OpenImageIO said went wrong (the reader's or writer's own error, else the library's
// last), on one line, saying so plainly when the file is cut short.
std::string Why(const std::string &own, const std::string &fallback) {
    std::string why = own.empty() ? OIIO::geterror() : own;
    if (why.find("end of file") != std::string::npos) {
        return "the file ends early: it is cut short";
    }
    std::replace(why.begin(), why.end(), '\n', ' ');
    while (!why.empty() && why.back() == ' ') {
        why.pop_back();
    }
    return why.empty() ? fallback : why;
}

bool IsIntegral(OIIO::TypeDesc type) {
    return type.basetype != OIIO::TypeDesc::FLOAT && type.basetype != OIIO::TypeDesc::HALF &&
           type.basetype != OIIO::TypeDesc::DOUBLE;
}

std::string Extension(const std::string &path) {
    const size_t slash = path.find_last_of('/');
    const size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) {
        return "";
    }
    std::string extension = path.substr(dot + 1);
    for (char &c : extension) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return extension;
}

// The output stream as OpenImageIO writes it, keeping the cause of the first failed write,
// which OpenImageIO's own messages leave out.
class StreamProxy : public OIIO::Filesystem::IOFile {
  public:
    explicit StreamProxy(std::FILE *stream) : IOFile(stream, Write) {}
    size_t write(const void *buffer, size_t size) override {
        return check(IOFile::write(buffer, size), size);
    }
    size_t pwrite(const void *buffer, size_t size, int64_t offset) override {
        return check(IOFile::pwrite(buffer, size, offset), size);
    }
    int error() const { return error_; }

  private:
    size_t check(size_t written, size_t size) {
        if (written != size && !error_) {
            error_ = errno ? errno : EIO;
        }
        return written;
    }
    int error_ = 0;
};

struct KnownFormat {
    const char *extensions[2];
    OutputFormat format;
};

const KnownFormat kFormats[] = {
    {{"png", nullptr}, {"png", {8, 16}, true}},     {{"jpg", "jpeg"}, {"jpeg", {8}, false}},
    {{"tif", "tiff"}, {"tiff", {8, 16, 32}, true}}, {{"exr", nullptr}, {"openexr", {16, 32}, true}},
    {{"hdr", nullptr}, {"hdr", {32}, false}},
};

} // namespace

Image ReadImage(const std::string &path, ColourMode colour) {
    UseNoLibraryThreads();
    struct stat info;
    if (stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
        throw ImageError(path + ": is a directory, not an image");
    }
    if (stat(path.c_str(), &info) != 0) {
        throw ImageError(path + ": cannot open (" + std::strerror(errno) + ")");
    }
    auto in = OIIO::ImageInput::open(path);
    if (!in) {
        throw ImageError(path + ": cannot read the image (" + Why("", "not an image") + ")");
    }
    const OIIO::ImageSpec &spec = in->spec();
    const double texels = static_cast<double>(spec.width) * spec.height;
    const double bytes = texels * (3 * sizeof(float) + spec.nchannels * spec.format.size());
    const std::string size = std::to_string(spec.width) + "x" + std::to_string(spec.height);
    if (bytes > kPanoramaMemoryLimitBytes) {
        throw ImageError(path + ": a " + size + " panorama takes " + Size(bytes) +
                         " to read, more than the renderer's limit of " +
                         Size(kPanoramaMemoryLimitBytes));
    }
    Image image;
    image.width = spec.width;
    image.height = spec.height;
    image.channels = 3;
    try {
        image.pixels.assign(static_cast<size_t>(texels) * 3, 0.0f);
    } catch (const std::bad_alloc &) {
        throw ImageError(path + ": out of memory for the " + size + " panorama (" + Size(bytes) +
                         ")");
    }
    // Grey (with or without alpha) is one channel read into red, then spread.
    const int read = spec.nchannels >= 3 ? 3 : 1;
    auto failed = [&] {
        throw ImageError(path + ": cannot read the image (" +
                         Why(in->geterror(), "no reason given") + ")");
    };
    const bool eightBits = spec.format == OIIO::TypeDesc::UINT8;
    const bool encoded =
        colour == ColourMode::kManaged && (eightBits || spec.format == OIIO::TypeDesc::UINT16);
    if (encoded) {
        // Integer codes are decoded through a table of every code, exactly and far faster than
        // through the transfer function, a band of rows at a time.
        const OIIO::TypeDesc type = eightBits ? OIIO::TypeDesc::UINT8 : OIIO::TypeDesc::UINT16;
        const size_t codes = eightBits ? 256 : 65536;
        std::vector<float> decode(codes);
        for (size_t code = 0; code < codes; ++code) {
            decode[code] = SrgbToLinear(static_cast<float>(code / double(codes - 1)));
        }
        constexpr int kBand = 64;
        const size_t bandSamples = static_cast<size_t>(spec.width) * read * kBand;
        std::vector<std::uint8_t> bytes(eightBits ? bandSamples : 0);
        std::vector<std::uint16_t> words(eightBits ? 0 : bandSamples);
        for (int y0 = 0; y0 < spec.height; y0 += kBand) {
            const int y1 = std::min(spec.height, y0 + kBand);
            void *band = eightBits ? static_cast<void *>(bytes.data()) : words.data();
            if (!in->read_scanlines(0, 0, y0, y1, 0, 0, read, type, band)) {
                failed();
            }
            const size_t samples = static_cast<size_t>(y1 - y0) * spec.width * read;
            float *out = image.pixel(0, y0);
            for (size_t i = 0; i < samples; ++i) {
                const float value = decode[eightBits ? bytes[i] : words[i]];
                if (read == 1) {
                    out[3 * i] = out[3 * i + 1] = out[3 * i + 2] = value;
                } else {
                    out[i] = value;
                }
            }
        }
        return image;
    }
    if (!in->read_image(0, 0, 0, read, OIIO::TypeDesc::FLOAT, image.pixels.data(),
                        3 * sizeof(float))) {
        failed();
    }
    // Other integer types are rare enough for the transfer function itself.
    const bool otherCodes = colour == ColourMode::kManaged && IsIntegral(spec.format);
    for (size_t i = 0; i < image.pixels.size(); i += 3) {
        float *p = &image.pixels[i];
        if (read == 1) {
            p[1] = p[2] = p[0];
        }
        if (otherCodes) {
            for (int c = 0; c < 3; ++c) {
                p[c] = SrgbToLinear(p[c]);
            }
        }
    }
    return image;
}

std::string KnownExtensions() {
    std::string known;
    for (size_t i = 0; i < sizeof kFormats / sizeof kFormats[0]; ++i) {
        known += std::string(i == 0                                          ? ""
                             : i + 1 == sizeof kFormats / sizeof kFormats[0] ? " or "
                                                                             : ", ") +
                 "." + kFormats[i].extensions[0];
    }
    return known;
}

OutputFormat FormatFor(const std::string &path) {
    const std::string extension = Extension(path);
    for (const KnownFormat &known : kFormats) {
        for (const char *name : known.extensions) {
            if (name && extension == name) {
                return known.format;
            }
        }
    }
    throw ImageError(path + ": the name does not say which format to write (end it in " +
                     KnownExtensions() + ")");
}

void WriteImage(std::FILE *stream, const std::string &writingPath, const std::string &name,
                const Image &image, const OutputFormat &format, int bits, ColourMode colour,
                int threads, const std::function<void(double)> &progress) {
    UseNoLibraryThreads();
    const bool integral = bits <= 16 && format.plugin != "openexr";
    const OIIO::TypeDesc type = bits == 8 ? OIIO::TypeDesc::UINT8
                                : bits == 16
                                    ? (integral ? OIIO::TypeDesc::UINT16 : OIIO::TypeDesc::HALF)
                                    : OIIO::TypeDesc::FLOAT;
    const int channels = format.alpha ? image.channels : 3;
    OIIO::ImageSpec spec(image.width, image.height, channels, type);
    if (channels == 4) {
        spec.alpha_channel = 3;
        if (integral) {
            spec.attribute("oiio:UnassociatedAlpha", 1);
        }
    }
    if (integral && colour == ColourMode::kManaged) {
        spec.attribute("oiio:ColorSpace", "sRGB");
    } else if (colour == ColourMode::kManaged) {
        spec.attribute("oiio:ColorSpace", "Linear");
    }
    if (format.plugin == "png") {
        // zlib's fastest level with the Sub filter: a third of the time of the defaults, for a
        // file a fifth larger.
        spec.attribute("png:compressionLevel", 1);
        spec.attribute("png:filter", 0x10);
    } else if (format.plugin == "jpeg") {
        spec.attribute("compression", "jpeg:95");
    } else if (format.plugin == "tiff" || format.plugin == "openexr") {
        spec.attribute("compression", "zip");
    }

    // The proxy outlives the writer, whose destructor may still write to it after a failure.
    StreamProxy proxy(stream);
    auto out = OIIO::ImageOutput::create(format.plugin);
    if (!out) {
        throw ImageError(name + ": cannot write (" + Why("", "no writer for " + format.plugin) +
                         ")");
    }
    auto fail = [&] {
        throw ImageError(name + ": cannot write (" +
                         (proxy.error() ? std::strerror(proxy.error())
                                        : Why(out->geterror(), "no reason given")) +
                         ")");
    };
    // libtiff cannot write its directory through a stream; it opens the file by name.
    const bool byName = format.plugin == "tiff";
    if (byName ? !out->open(writingPath, spec)
               : !out->set_ioproxy(&proxy) || !out->open(name, spec)) {
        fail();
    }

    const SrgbQuantizer quantizer(bits <= 16 ? bits : 8);
    const double full = bits == 16 ? 65535.0 : 255.0;
    const size_t rowSamples = static_cast<size_t>(image.width) * channels;
    constexpr int kRowsAtOnce = 64;
    // Float formats are handed floats, which OpenImageIO narrows to half where asked.
    const OIIO::TypeDesc given = integral ? type : OIIO::TypeDesc::FLOAT;
    std::vector<unsigned char> rows(rowSamples * kRowsAtOnce * given.size());
    // Rows are turned into the file's values on every thread the render had, a band at a time,
    // while the compression that follows is the format library's, on one.
    auto convertRows = [&](int y0, int yEnd, int rowBase) {
        for (int y = y0; y < yEnd; ++y) {
            unsigned char *row = &rows[(y - rowBase) * rowSamples * given.size()];
            for (int x = 0; x < image.width; ++x) {
                const float *in = image.pixel(x, y);
                const float alpha = image.channels == 4 ? in[3] : 1.0f;
                for (int c = 0; c < channels; ++c) {
                    float value = in[c];
                    const size_t at = static_cast<size_t>(x) * channels + c;
                    if (!integral) {
                        std::memcpy(row + at * 4, &value, 4);
                        continue;
                    }
                    // Integer formats store colour unassociated from alpha.
                    if (c < 3 && channels == 4) {
                        value = alpha > 0.0f ? value / alpha : 0.0f;
                    }
                    std::uint32_t code;
                    if (c < 3 && colour == ColourMode::kManaged) {
                        code = quantizer.code(value);
                    } else {
                        code = static_cast<std::uint32_t>(
                            std::lround(std::fmin(1.0, std::fmax(0.0, value)) * full));
                    }
                    if (bits == 16) {
                        const std::uint16_t word = static_cast<std::uint16_t>(code);
                        std::memcpy(row + at * 2, &word, 2);
                    } else {
                        row[at] = static_cast<unsigned char>(code);
                    }
                }
            }
        }
    };
    for (int y0 = 0; y0 < image.height; y0 += kRowsAtOnce) {
        const int y1 = std::min(image.height, y0 + kRowsAtOnce);
        std::vector<std::thread> helpers;
        const int share = (y1 - y0 + threads - 1) / std::max(1, threads);
        for (int start = y0 + share; start < y1; start += share) {
            try {
                helpers.emplace_back(convertRows, start, std::min(y1, start + share), y0);
            } catch (const std::system_error &) {
                convertRows(start, std::min(y1, start + share), y0);
            }
        }
        convertRows(y0, std::min(y1, y0 + share), y0);
        for (std::thread &helper : helpers) {
            helper.join();
        }
        if (!out->write_scanlines(y0, y1, 0, given, rows.data()) || proxy.error()) {
            fail();
        }
        if (progress) {
            progress(static_cast<double>(y1) / image.height);
        }
    }
    if (!out->close() || proxy.error()) {
        fail();
    }
}

#include "png_io.h"

#include <png.h>

#include <cerrno>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <sys/stat.h>

namespace {

// Everything a libpng call may leave behind when it jumps out with an error lives here, on
// the heap, so that nothing on the stack changes between setjmp and longjmp.
struct PngJob {
    std::FILE *file = nullptr;
    png_structp png = nullptr;
    png_infop info = nullptr;
    bool ownsFile = true;
    std::vector<png_byte> row;
    std::vector<png_bytep> rows;
    std::string error;
    // What was being read, for an out-of-memory message.
    std::string allocating;
    const std::function<void(double)> *progress = nullptr;
    ~PngJob() {
        if (file && ownsFile) {
            std::fclose(file);
        }
    }
};

std::string Mebibytes(double bytes) {
    char text[32];
    std::snprintf(text, sizeof text, bytes >= 1024.0 * 1024 * 1024 ? "%.1f GiB" : "%.0f MiB",
                  bytes >= 1024.0 * 1024 * 1024 ? bytes / (1024.0 * 1024 * 1024)
                                                : bytes / (1024.0 * 1024));
    return text;
}

// libpng's own reader and writer say only "Read Error" and "Write Error"; these say why.
void ReadData(png_structp png, png_bytep data, size_t length) {
    PngJob *job = static_cast<PngJob *>(png_get_io_ptr(png));
    if (std::fread(data, 1, length, job->file) != length) {
        png_error(png, std::ferror(job->file) ? std::strerror(errno)
                                              : "the file ends early: it is cut short");
    }
}

void WriteData(png_structp png, png_bytep data, size_t length) {
    PngJob *job = static_cast<PngJob *>(png_get_io_ptr(png));
    if (std::fwrite(data, 1, length, job->file) != length) {
        png_error(png, std::strerror(errno));
    }
}

void FlushData(png_structp png) {
    PngJob *job = static_cast<PngJob *>(png_get_io_ptr(png));
    if (std::fflush(job->file) != 0) {
        png_error(png, std::strerror(errno));
    }
}

void OnError(png_structp png, png_const_charp message) {
    PngJob *job = static_cast<PngJob *>(png_get_error_ptr(png));
    job->error = message ? message : "unknown libpng error";
    png_longjmp(png, 1);
}

void OnWarning(png_structp, png_const_charp) {}

// The libpng part of reading; false with job->error set on failure.
bool ReadRows(PngJob *job, Image *image) {
    job->png = png_create_read_struct(PNG_LIBPNG_VER_STRING, job, OnError, OnWarning);
    if (!job->png) {
        job->error = "out of memory";
        return false;
    }
    job->info = png_create_info_struct(job->png);
    if (!job->info) {
        png_destroy_read_struct(&job->png, nullptr, nullptr);
        job->error = "out of memory";
        return false;
    }
    if (setjmp(png_jmpbuf(job->png))) {
        png_destroy_read_struct(&job->png, &job->info, nullptr);
        return false;
    }
    png_set_read_fn(job->png, job, ReadData);
    png_read_info(job->png, job->info);
    // Refuse images too large to hold before reading any of their pixels: the header alone
    // may claim any size.
    {
        const double width = png_get_image_width(job->png, job->info);
        const double height = png_get_image_height(job->png, job->info);
        const bool interlaced = png_get_interlace_type(job->png, job->info) != PNG_INTERLACE_NONE;
        // Floats for the image, and the decoded file rows at once when interlaced.
        const double bytes = width * height * (3 * sizeof(float) + (interlaced ? 6 : 0));
        if (bytes > kPanoramaMemoryLimitBytes) {
            char size[64];
            std::snprintf(size, sizeof size, "%.0fx%.0f", width, height);
            job->error = std::string("a ") + size + " panorama takes " + Mebibytes(bytes) +
                         " decoded, more than the renderer's limit of " +
                         Mebibytes(kPanoramaMemoryLimitBytes);
            png_destroy_read_struct(&job->png, &job->info, nullptr);
            return false;
        }
        job->allocating = "out of memory for the " + std::to_string(static_cast<long>(width)) +
                          "x" + std::to_string(static_cast<long>(height)) + " panorama (" +
                          Mebibytes(bytes) + ")";
    }
    const int colour = png_get_color_type(job->png, job->info);
    const int depth = png_get_bit_depth(job->png, job->info);
    png_set_expand(job->png);
    if (depth == 16) {
        png_set_swap(job->png);
    }
    if (colour == PNG_COLOR_TYPE_GRAY || colour == PNG_COLOR_TYPE_GRAY_ALPHA) {
        png_set_gray_to_rgb(job->png);
    }
    png_set_strip_alpha(job->png);
    png_set_interlace_handling(job->png);
    png_read_update_info(job->png, job->info);
    const png_uint_32 width = png_get_image_width(job->png, job->info);
    const png_uint_32 height = png_get_image_height(job->png, job->info);
    const int outDepth = png_get_bit_depth(job->png, job->info);
    const size_t rowBytes = png_get_rowbytes(job->png, job->info);
    if (png_get_channels(job->png, job->info) != 3 ||
        rowBytes != static_cast<size_t>(width) * 3 * (outDepth / 8)) {
        job->error = "unsupported pixel layout";
        png_destroy_read_struct(&job->png, &job->info, nullptr);
        return false;
    }
    image->width = static_cast<int>(width);
    image->height = static_cast<int>(height);
    image->rgb.assign(static_cast<size_t>(width) * height * 3, 0.0f);
    auto convert = [&](const png_byte *row, float *out) {
        for (size_t i = 0; i < static_cast<size_t>(width) * 3; ++i) {
            if (outDepth == 16) {
                std::uint16_t v;
                std::memcpy(&v, &row[2 * i], 2);
                out[i] = v / 65535.0f;
            } else {
                out[i] = row[i] / 255.0f;
            }
        }
    };
    if (png_get_interlace_type(job->png, job->info) == PNG_INTERLACE_NONE) {
        // One row at a time: the decoded file is never held whole.
        job->row.resize(rowBytes);
        for (png_uint_32 y = 0; y < height; ++y) {
            png_read_row(job->png, job->row.data(), nullptr);
            convert(job->row.data(), image->pixel(0, static_cast<int>(y)));
        }
    } else {
        job->row.resize(rowBytes * height);
        job->rows.resize(height);
        for (png_uint_32 y = 0; y < height; ++y) {
            job->rows[y] = job->row.data() + y * rowBytes;
        }
        png_read_image(job->png, job->rows.data());
        for (png_uint_32 y = 0; y < height; ++y) {
            convert(job->rows[y], image->pixel(0, static_cast<int>(y)));
        }
    }
    png_read_end(job->png, nullptr);
    png_destroy_read_struct(&job->png, &job->info, nullptr);
    return true;
}

bool WriteRows(PngJob *job, const Image &image, int bits) {
    job->png = png_create_write_struct(PNG_LIBPNG_VER_STRING, job, OnError, OnWarning);
    if (!job->png) {
        job->error = "out of memory";
        return false;
    }
    job->info = png_create_info_struct(job->png);
    if (!job->info) {
        png_destroy_write_struct(&job->png, nullptr);
        job->error = "out of memory";
        return false;
    }
    if (setjmp(png_jmpbuf(job->png))) {
        png_destroy_write_struct(&job->png, &job->info);
        return false;
    }
    png_set_write_fn(job->png, job, WriteData, FlushData);
    png_set_IHDR(job->png, job->info, image.width, image.height, bits, PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(job->png, job->info);
    const size_t bytesPerSample = bits / 8;
    const double full = bits == 16 ? 65535.0 : 255.0;
    job->row.resize(static_cast<size_t>(image.width) * 3 * bytesPerSample);
    for (int y = 0; y < image.height; ++y) {
        const float *in = image.pixel(0, y);
        for (size_t i = 0; i < static_cast<size_t>(image.width) * 3; ++i) {
            const double clamped = std::fmin(1.0, std::fmax(0.0, static_cast<double>(in[i])));
            const unsigned value = static_cast<unsigned>(std::lround(clamped * full));
            if (bits == 16) {
                job->row[2 * i] = static_cast<png_byte>(value >> 8);
                job->row[2 * i + 1] = static_cast<png_byte>(value & 0xff);
            } else {
                job->row[i] = static_cast<png_byte>(value);
            }
        }
        png_write_row(job->png, job->row.data());
        if (job->progress && *job->progress) {
            (*job->progress)(static_cast<double>(y + 1) / image.height);
        }
    }
    png_write_end(job->png, nullptr);
    png_destroy_write_struct(&job->png, &job->info);
    return true;
}

} // namespace

Image ReadPng(const std::string &path) {
    struct stat info;
    if (stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
        throw PngError(path + ": is a directory, not a PNG file");
    }
    auto job = std::make_unique<PngJob>();
    job->file = std::fopen(path.c_str(), "rb");
    if (!job->file) {
        throw PngError(path + ": cannot open (" + std::strerror(errno) + ")");
    }
    png_byte signature[8] = {};
    if (std::fread(signature, 1, 8, job->file) != 8 || png_sig_cmp(signature, 0, 8) != 0) {
        throw PngError(path + ": not a PNG file");
    }
    std::rewind(job->file);
    Image image;
    try {
        if (!ReadRows(job.get(), &image)) {
            throw PngError(path + ": cannot read the PNG (" + job->error + ")");
        }
    } catch (const std::bad_alloc &) {
        throw PngError(path + ": " + (job->allocating.empty() ? "out of memory" : job->allocating));
    }
    return image;
}

void WritePng(std::FILE *stream, const std::string &name, const Image &image, int bits,
              const std::function<void(double)> &progress) {
    auto job = std::make_unique<PngJob>();
    job->file = stream;
    job->ownsFile = false;
    job->progress = &progress;
    if (!WriteRows(job.get(), image, bits)) {
        throw PngError(name + ": cannot write (" + job->error + ")");
    }
}

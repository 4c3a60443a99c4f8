#include "png_io.h"

#include <png.h>

#include <cerrno>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Everything a libpng call may leave behind when it jumps out with an error lives here, on
// the heap, so that nothing on the stack changes between setjmp and longjmp.
struct PngJob {
    std::FILE *file = nullptr;
    png_structp png = nullptr;
    png_infop info = nullptr;
    std::vector<png_byte> row;
    std::vector<png_bytep> rows;
    std::string error;
    ~PngJob() {
        if (file) {
            std::fclose(file);
        }
    }
};

void OnError(png_structp png, png_const_charp message) {
    PngJob *job = static_cast<PngJob *>(png_get_error_ptr(png));
    job->error = message ? message : "unknown libpng error";
    png_longjmp(png, 1);
}

void OnWarning(png_structp, png_const_charp) {}

// 16384 by 8192, the largest panorama worth holding in memory as floats.
constexpr double kMaxPanoramaPixels = 16384.0 * 8192.0;

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
    png_init_io(job->png, job->file);
    png_read_info(job->png, job->info);
    // Refuse images too large to hold before reading any of their pixels.
    if (static_cast<double>(png_get_image_width(job->png, job->info)) *
            png_get_image_height(job->png, job->info) >
        kMaxPanoramaPixels) {
        job->error =
            "more than " + std::to_string(kMaxPanoramaPixels / 1000000) + " million pixels";
        png_destroy_read_struct(&job->png, &job->info, nullptr);
        return false;
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
    job->row.resize(rowBytes * height);
    job->rows.resize(height);
    for (png_uint_32 y = 0; y < height; ++y) {
        job->rows[y] = job->row.data() + y * rowBytes;
    }
    png_read_image(job->png, job->rows.data());
    png_read_end(job->png, nullptr);
    png_destroy_read_struct(&job->png, &job->info, nullptr);
    const size_t samples = static_cast<size_t>(width) * height * 3;
    for (size_t i = 0; i < samples; ++i) {
        if (outDepth == 16) {
            std::uint16_t v;
            std::memcpy(&v, &job->row[2 * i], 2);
            image->rgb[i] = v / 65535.0f;
        } else {
            image->rgb[i] = job->row[i] / 255.0f;
        }
    }
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
    png_init_io(job->png, job->file);
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
    }
    png_write_end(job->png, nullptr);
    png_destroy_write_struct(&job->png, &job->info);
    return true;
}

} // namespace

Image ReadPng(const std::string &path) {
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
    if (!ReadRows(job.get(), &image)) {
        throw PngError(path + ": cannot read the PNG (" + job->error + ")");
    }
    return image;
}

void WritePng(const std::string &path, const Image &image, int bits) {
    std::string temporary = path + ".XXXXXX";
    const int fd = mkstemp(&temporary[0]);
    if (fd < 0) {
        throw PngError(path + ": cannot write (" + std::strerror(errno) + ")");
    }
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
    auto job = std::make_unique<PngJob>();
    job->file = fdopen(fd, "wb");
    bool ok = job->file && WriteRows(job.get(), image, bits);
    if (job->file) {
        ok = std::fflush(job->file) == 0 && ok;
        ok = fsync(fileno(job->file)) == 0 && ok;
        ok = std::fclose(job->file) == 0 && ok;
        job->file = nullptr;
    } else {
        close(fd);
    }
    const int saved = errno;
    if (!ok || std::rename(temporary.c_str(), path.c_str()) != 0) {
        const std::string why =
            !job->error.empty() ? job->error : std::strerror(ok ? errno : saved);
        std::remove(temporary.c_str());
        throw PngError(path + ": cannot write (" + why + ")");
    }
}

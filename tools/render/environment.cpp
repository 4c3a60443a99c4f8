#include "environment.h"

#include "image_io.h"

#include <cmath>

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kDegree = kPi / 180.0;

Rgb Mix(Rgb a, Rgb b, double t) {
    const float f = static_cast<float>(t);
    return {a.r + (b.r - a.r) * f, a.g + (b.g - a.g) * f, a.b + (b.b - a.b) * f};
}

class GridSky : public Environment {
  public:
    explicit GridSky(ColourMode colour) : linear_(colour == ColourMode::kManaged) {}

    Rgb sample(double x, double y, double z) const override {
        const Rgb encoded = encodedSample(x, y, z);
        if (!linear_) {
            return encoded;
        }
        return {SrgbToLinear(encoded.r), SrgbToLinear(encoded.g), SrgbToLinear(encoded.b)};
    }

  private:
    bool linear_;

    // The sky as sRGB values, as it was drawn.
    Rgb encodedSample(double x, double y, double z) const {
        const double length = std::sqrt(x * x + y * y + z * z);
        if (!(length > 0.0)) {
            return {0, 0, 0};
        }
        x /= length;
        y /= length;
        z /= length;
        struct Marker {
            double x, y, z;
            Rgb colour;
        };
        static const Marker markers[] = {
            {1, 0, 0, {0.9f, 0.1f, 0.1f}},   {-1, 0, 0, {0.1f, 0.9f, 0.9f}},
            {0, 1, 0, {0.1f, 0.8f, 0.1f}},   {0, -1, 0, {0.9f, 0.1f, 0.9f}},
            {0, 0, 1, {0.15f, 0.25f, 1.0f}}, {0, 0, -1, {1.0f, 0.9f, 0.1f}},
        };
        for (const Marker &m : markers) {
            const double angle = std::acos(std::fmin(1.0, x * m.x + y * m.y + z * m.z));
            if (angle < 5.0 * kDegree) {
                return m.colour;
            }
            if (angle < 5.6 * kDegree) {
                return {0.05f, 0.05f, 0.05f};
            }
        }

        const double latitude = std::asin(std::fmax(-1.0, std::fmin(1.0, y)));
        const double longitude = std::atan2(x, z);
        const Rgb horizonSky{0.78f, 0.86f, 0.95f}, zenith{0.12f, 0.30f, 0.65f};
        const Rgb horizonGround{0.45f, 0.38f, 0.28f}, nadir{0.18f, 0.15f, 0.10f};
        Rgb colour = latitude >= 0 ? Mix(horizonSky, zenith, latitude / (kPi / 2))
                                   : Mix(horizonGround, nadir, -latitude / (kPi / 2));

        if (std::fabs(latitude) < 0.45 * kDegree) {
            return {1.0f, 1.0f, 1.0f};
        }
        const double step = 15.0 * kDegree;
        const double offLatitude = std::fabs(std::remainder(latitude, step));
        // Distance to the nearest meridian measured on the sphere, so lines keep their width.
        const double offLongitude = std::fabs(std::remainder(longitude, step)) * std::cos(latitude);
        if (offLatitude < 0.2 * kDegree || offLongitude < 0.2 * kDegree) {
            const Rgb line = latitude >= 0 ? Rgb{0.95f, 0.95f, 0.95f} : Rgb{0.85f, 0.80f, 0.70f};
            colour = Mix(colour, line, 0.7);
        }
        return colour;
    }
};

// Catmull-Rom weights for the four texels around a position t of the way from the second to
// the third.
void CubicWeights(float t, float weights[4]) {
    const float t2 = t * t, t3 = t2 * t;
    weights[0] = 0.5f * (-t3 + 2 * t2 - t);
    weights[1] = 0.5f * (3 * t3 - 5 * t2 + 2);
    weights[2] = 0.5f * (-3 * t3 + 4 * t2 + t);
    weights[3] = 0.5f * (t3 - t2);
}

class Panorama : public Environment {
  public:
    Panorama(Image image, Filter filter) : image_(std::move(image)), filter_(filter) {}

    Rgb sample(double x, double y, double z) const override {
        const double across = std::sqrt(x * x + z * z);
        if (!(across > 0.0) && y == 0.0) {
            return {0, 0, 0};
        }
        const double longitude = std::atan2(x, z);
        const double latitude = std::atan2(y, across);
        const int w = image_.width, h = image_.height;
        // Texel centres sit at half-integer positions.
        const double u = (longitude + kPi) / (2 * kPi) * w - 0.5;
        const double v = (kPi / 2 - latitude) / kPi * h - 0.5;
        const double u0 = std::floor(u), v0 = std::floor(v);
        const float fu = static_cast<float>(u - u0), fv = static_cast<float>(v - v0);
        const long column = static_cast<long>(u0), row = static_cast<long>(v0);
        auto wrap = [w](long i) { return static_cast<int>(((i % w) + w) % w); };
        auto clampRow = [h](long j) { return static_cast<int>(j < 0 ? 0 : j >= h ? h - 1 : j); };
        float out[3] = {0, 0, 0};
        if (filter_ == Filter::kBilinear) {
            const int x0 = wrap(column), x1 = wrap(column + 1);
            const int y0 = clampRow(row), y1 = clampRow(row + 1);
            for (int c = 0; c < 3; ++c) {
                const float top = image_.pixel(x0, y0)[c] * (1 - fu) + image_.pixel(x1, y0)[c] * fu;
                const float bottom =
                    image_.pixel(x0, y1)[c] * (1 - fu) + image_.pixel(x1, y1)[c] * fu;
                out[c] = top * (1 - fv) + bottom * fv;
            }
        } else {
            float wu[4], wv[4];
            CubicWeights(fu, wu);
            CubicWeights(fv, wv);
            for (int j = 0; j < 4; ++j) {
                const int yj = clampRow(row - 1 + j);
                for (int i = 0; i < 4; ++i) {
                    const float *texel = image_.pixel(wrap(column - 1 + i), yj);
                    const float weight = wu[i] * wv[j];
                    for (int c = 0; c < 3; ++c) {
                        out[c] += texel[c] * weight;
                    }
                }
            }
        }
        return {out[0], out[1], out[2]};
    }

  private:
    Image image_;
    Filter filter_;
};

} // namespace

std::unique_ptr<Environment> MakeGridSky(ColourMode colour) {
    return std::make_unique<GridSky>(colour);
}

std::unique_ptr<Environment> MakePanorama(Image image, Filter filter) {
    return std::make_unique<Panorama>(std::move(image), filter);
}

std::unique_ptr<Environment> LoadPanorama(const std::string &path, ColourMode colour,
                                          Filter filter) {
    Image image = ReadImage(path, colour);
    if (image.width != 2 * image.height) {
        throw ImageError(path +
                         ": a panorama must be twice as wide as it is high (360 by 180 "
                         "degrees); this one is " +
                         std::to_string(image.width) + " by " + std::to_string(image.height));
    }
    return MakePanorama(std::move(image), filter);
}

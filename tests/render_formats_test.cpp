// Images in and out through OpenImageIO, colour in linear light, the sharper filter, sequences
// and the image circle's mask.

#include "render_fixture.h"

#include "colour.h"

#include <OpenImageIO/imageio.h>

#include <cmath>

namespace {

using RenderFormatsTest = RenderTest;

TEST_F(RenderFormatsTest, EveryFormatInAndOutWithItsColourRules) {
    // One light, 0.2 in linear light (above 1 where the format can hold it), stored as each
    // format stores light: sRGB-encoded in integer formats, linear in float ones.
    const float light = 0.2f;
    struct Input {
        const char *name;
        int bits;
        float stored;
    };
    const Input inputs[] = {
        {"pano.png", 8, LinearToSrgb(light)},
        {"pano.jpg", 8, LinearToSrgb(light)},
        {"pano.tif", 16, LinearToSrgb(light)},
        {"pano.exr", 32, light},
        {"pano.hdr", 32, light},
    };
    struct Output {
        const char *name;
        float expected; // as stored, scaled to 0 to 1
        float tolerance;
    };
    const Output outputs[] = {
        {"out.png", LinearToSrgb(light), 0.6f / 255},
        {"out.jpg", LinearToSrgb(light), 2.0f / 255},
        {"out.tif", LinearToSrgb(light), 0.6f / 255},
        {"out.exr", light, 2e-3f},
        {"out.hdr", light, 2e-3f},
    };
    for (const Input &in : inputs) {
        WriteImageFile(Path(in.name), Uniform(64, 32, in.stored), in.bits);
        for (const Output &out : outputs) {
            SCOPED_TRACE(std::string(in.name) + " to " + out.name);
            const Result r = Render({"--env", Path(in.name), "--size", "16x16", "--samples", "1",
                                     "--pitch", "0", "--fov", "90", "--out", Path(out.name)});
            ASSERT_EQ(r.status, 0) << r.err;
            const Image image = ReadImageFile(Path(out.name));
            // JPEG's own rounding of a flat picture and its chroma stay within two codes.
            const float tolerance =
                out.tolerance + (std::string(in.name) == "pano.jpg" ? 2.0f / 255 : 0.0f);
            EXPECT_NEAR(image.pixel(8, 8)[0], out.expected, tolerance);
            EXPECT_NEAR(image.pixel(8, 8)[2], out.expected, tolerance);
        }
    }
    // Light above 1 survives from an HDR panorama to an EXR image.
    WriteImageFile(Path("bright.hdr"), Uniform(64, 32, 4.0f), 32);
    const Result bright =
        Render({"--env", Path("bright.hdr"), "--size", "8x8", "--out", Path("bright.exr")});
    ASSERT_EQ(bright.status, 0) << bright.err;
    EXPECT_NEAR(ReadImageFile(Path("bright.exr")).pixel(4, 4)[1], 4.0f, 4e-3f);
}

TEST_F(RenderFormatsTest, SamplesAreAveragedInLinearLight) {
    // Black and white columns, shrunk far: managed colour averages the light (half of white is
    // sRGB 0.735), raw the codes (0.5).
    Image stripes = Uniform(256, 128, 0.0f);
    for (int y = 0; y < 128; ++y) {
        for (int x = 0; x < 256; x += 2) {
            float *p = stripes.pixel(x, y);
            p[0] = p[1] = p[2] = 1.0f;
        }
    }
    WriteImageFile(Path("stripes.png"), stripes, 8);
    float seen[2];
    const char *colours[] = {"managed", "raw"};
    for (int i = 0; i < 2; ++i) {
        const Result r =
            Render({"--env", Path("stripes.png"), "--size", "4x4", "--samples", "16", "--pitch",
                    "0", "--fov", "60", "--colour", colours[i], "--out", Path("grey.png")});
        ASSERT_EQ(r.status, 0) << r.err;
        seen[i] = ReadImageFile(Path("grey.png")).pixel(2, 2)[0];
    }
    // Raw averages the codes: about half white. Managed averages the light, then encodes it.
    EXPECT_NEAR(seen[1], 0.5f, 0.05f);
    EXPECT_NEAR(seen[0], LinearToSrgb(seen[1]), 1.0f / 255);
    EXPECT_GT(seen[0] - seen[1], 0.15f);
}

TEST_F(RenderFormatsTest, BicubicIsSharperWhereThePanoramaIsEnlarged) {
    // A smooth pattern of known value everywhere, 512 texels round: a 256-pixel-high view of 90
    // degrees enlarges it twice.
    auto pattern = [](double longitude, double latitude) {
        return 0.5 + 0.3 * std::sin(24 * longitude) * std::cos(12 * latitude);
    };
    Image pano = Uniform(512, 256, 0.0f);
    for (int y = 0; y < 256; ++y) {
        for (int x = 0; x < 512; ++x) {
            const double longitude = (x + 0.5) / 512 * 2 * kPi - kPi;
            const double latitude = kPi / 2 - (y + 0.5) / 256 * kPi;
            float *p = pano.pixel(x, y);
            p[0] = p[1] = p[2] = static_cast<float>(pattern(longitude, latitude));
        }
    }
    WriteImageFile(Path("pattern.exr"), pano, 32);
    double squaredError[2] = {0, 0};
    const char *filters[] = {"bilinear", "bicubic"};
    for (int f = 0; f < 2; ++f) {
        const Result r = Render({"--env", Path("pattern.exr"), "--size", "256x256", "--samples",
                                 "1", "--pitch", "0", "--fov", "90", "--colour", "raw", "--filter",
                                 filters[f], "--bits", "32", "--out", Path("view.exr")});
        ASSERT_EQ(r.status, 0) << r.err;
        const Image view = ReadImageFile(Path("view.exr"));
        for (int y = 0; y < 256; ++y) {
            for (int x = 0; x < 256; ++x) {
                // The exact picture: where the level camera looks, from the fisheye's definition.
                const double filmX = (x + 0.5) / 256 - 0.5, filmY = 0.5 - (y + 0.5) / 256;
                const double offAxis = std::hypot(filmX, filmY) * (kPi / 2);
                const double polar = std::atan2(filmY, filmX);
                const double dx = std::sin(offAxis) * std::cos(polar);
                const double dy = std::sin(offAxis) * std::sin(polar);
                const double dz = std::cos(offAxis);
                const double exact = pattern(std::atan2(dx, dz), std::asin(dy));
                const double error = view.pixel(x, y)[0] - exact;
                squaredError[f] += error * error;
            }
        }
    }
    const double bilinear = std::sqrt(squaredError[0] / (256 * 256));
    const double bicubic = std::sqrt(squaredError[1] / (256 * 256));
    EXPECT_LT(bicubic, 0.5 * bilinear)
        << "RMS error: bilinear " << bilinear << ", bicubic " << bicubic;
}

TEST_F(RenderFormatsTest, SequencesFollowTheKeys) {
    const std::string coded = DirectionCodedPanorama();
    // FOV 60 degrees at time 0, 120 at 0.8 s: frame 24 of a 30-frame second.
    const Result r = Render({"--env", coded, "--key", "FOV=0:60,0.8:120", "--frames", "1-24",
                             "--pitch", "0", "--size", "21x21", "--samples", "1", "--colour", "raw",
                             "--bits", "16", "--out", Path("seq.####.png")});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("24 frames of 21x21"), std::string::npos) << r.out;
    std::vector<std::string> expected = {"coded.png"};
    for (int frame = 1; frame <= 24; ++frame) {
        char name[32];
        std::snprintf(name, sizeof name, "seq.%04d.png", frame);
        expected.push_back(name);
    }
    EXPECT_EQ(Files(), expected);
    for (int frame : {1, 12, 24}) {
        char name[32];
        std::snprintf(name, sizeof name, "seq.%04d.png", frame);
        const Image image = ReadImageFile(Path(name));
        // The middle of the top row looks up by half the field of view, less half a pixel.
        const double fov = (60 + 60 * std::fmin(1.0, frame / 30.0 / 0.8)) * kDegree;
        const double latitude = kPi / 2 - image.pixel(10, 0)[1] * kPi;
        EXPECT_NEAR(latitude, fov / 2 * (1 - 1.0 / 21), 0.001) << name;
    }

    const Result printf =
        Render({"--frames", "3-7:2", "--size", "8x8", "--out", Path("f%03d.png")});
    ASSERT_EQ(printf.status, 0) << printf.err;
    for (const char *name : {"f003.png", "f005.png", "f007.png"}) {
        EXPECT_TRUE(std::ifstream(Path(name)).good()) << name;
    }
}

TEST_F(RenderFormatsTest, AnInterruptedSequenceKeepsItsFinishedFrames) {
    const std::string script =
        Command({"--frames", "1-3", "--size", "1500x1500", "--samples", "3", "--threads", "1",
                 "--out", "seq.#.png"}) +
        " & pid=$!; n=0; while [ ! -f seq.1.png ] && [ $n -lt 3000 ]; do sleep 0.01; "
        "n=$((n+1)); done; kill -INT $pid; wait $pid; echo $?";
    const Result r = Shell(script);
    EXPECT_EQ(r.out, "130\n") << r.err;
    EXPECT_EQ(Files(), std::vector<std::string>{"seq.1.png"});
    EXPECT_EQ(ReadImageFile(Path("seq.1.png")).width, 1500);
}

// The alpha of a pixel as stored, or 1 for an image without alpha.
float AlphaAt(const std::string &path, int x, int y) {
    auto in = OIIO::ImageInput::open(path);
    if (!in || in->spec().nchannels < 4) {
        return 1.0f;
    }
    std::vector<float> pixels(static_cast<size_t>(in->spec().width) * in->spec().height * 4);
    in->read_image(0, 0, 0, 4, OIIO::TypeDesc::FLOAT, pixels.data());
    return pixels[(static_cast<size_t>(y) * in->spec().width + x) * 4 + 3];
}

TEST_F(RenderFormatsTest, MaskLeavesOutsideTheImageCircleTransparentOrBlack) {
    struct Case {
        std::vector<std::string> args;
        const char *out;
        int x, y;
        bool inside;
    };
    const Case cases[] = {
        {{}, "m.png", 31, 31, false},
        {{}, "m.png", 16, 16, true},
        {{}, "m.exr", 0, 0, false},
        {{}, "m.exr", 16, 1, true},
        {{}, "m.jpg", 0, 0, false},
        {{}, "m.png", 1, 16, true},
        // A quarter of the film's width of shift moves the circle's centre 8 pixels left.
        {{"--hshift", "0.25"}, "m.png", 1, 16, true},
        {{"--hshift", "0.25"}, "m.png", 27, 16, false},
        {{"--hshift", "0.25"}, "m.png", 20, 16, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.out) + " at " + std::to_string(c.x) + ", " +
                     std::to_string(c.y));
        std::vector<std::string> args = {"--mask", "--size", "32x32",    "--samples",
                                         "1",      "--out",  Path(c.out)};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const Result r = Render(args);
        ASSERT_EQ(r.status, 0) << r.err;
        const Image image = ReadImage(Path(c.out), ColourMode::kRaw);
        const float *p = image.pixel(c.x, c.y);
        const float alpha = AlphaAt(Path(c.out), c.x, c.y);
        if (c.inside) {
            EXPECT_EQ(alpha, 1.0f);
            EXPECT_GT(p[0] + p[1] + p[2], 0.05f);
        } else {
            EXPECT_EQ(alpha, std::string(c.out) == "m.jpg" ? 1.0f : 0.0f);
            EXPECT_LT(p[0] + p[1] + p[2], 0.02f);
        }
    }
}

} // namespace

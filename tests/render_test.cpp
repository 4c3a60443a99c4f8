#include "render_fixture.h"

#include "camera/channel_names.h"
#include "host/global.h"
#include "host/module_descriptor.h"
#include "module/names.h"

#include <OpenImageIO/imageio.h>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <sys/stat.h>

namespace {

struct Looking {
    double longitude, latitude;
};

Looking Decode(const Image &image, int x, int y) {
    const float *p = image.pixel(x, y);
    return {p[0] * 2 * kPi - kPi, kPi / 2 - p[1] * kPi};
}

// Where a level camera (looking along +Z, up +Y, heading and pitch 0) looks for a film
// position, from the fisheye's definition.
Looking LevelCamera(double filmX, double filmY, double fovRadians) {
    const double offAxis = std::hypot(filmX, filmY) * fovRadians; // the film is 1 unit high
    const double polar = std::atan2(filmY, filmX);
    const double x = std::sin(offAxis) * std::cos(polar);
    const double y = std::sin(offAxis) * std::sin(polar);
    const double z = std::cos(offAxis);
    return {std::atan2(x, z), std::asin(y)};
}

const double kTolerance = 0.0005; // radians: 16-bit coding and texel rounding

TEST_F(RenderTest, PixelsLookWhereTheGeometrySays) {
    const std::string coded = DirectionCodedPanorama();
    struct Case {
        const char *what;
        std::vector<std::string> args;
        int x, y;
        Looking expected;
    };
    const int w = 41, h = 31;
    const double fov = 120 * kDegree;
    const double filmWidth = static_cast<double>(w) / h;
    const Case cases[] = {
        {"centre pixel looks along the viewing axis",
         {"--pitch", "0", "--heading", "30"},
         w / 2,
         h / 2,
         {30 * kDegree, 0}},
        {"pitch down 20 degrees", {"--pitch", "20"}, w / 2, h / 2, {0, -20 * kDegree}},
        {"middle of the top edge is half the field of view up",
         {"--pitch", "0"},
         w / 2,
         0,
         LevelCamera(0, 0.5 - 0.5 / h, fov)},
        {"half shift: middle of the left edge looks almost ahead",
         {"--pitch", "0", "--hshift", "0.5"},
         0,
         h / 2,
         LevelCamera(0.5 * filmWidth / w, 0, fov)},
        {"vertical shift moves the centre down",
         {"--pitch", "0", "--vshift", "0.25"},
         w / 2,
         h / 2,
         LevelCamera(0, 0.25, fov)},
        {"a corner",
         {"--pitch", "0"},
         w - 1,
         h - 1,
         LevelCamera((w - 0.5) / w * filmWidth - filmWidth / 2, 0.5 / h - 0.5, fov)},
    };
    for (const Case &c : cases) {
        std::vector<std::string> args = {"--env",    coded,       "--fov", "120",          "--size",
                                         "41x31",    "--samples", "1",     "--bits",       "16",
                                         "--colour", "raw",       "--out", Path("out.png")};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const Result result = Render(args);
        ASSERT_EQ(result.status, 0) << c.what << ": " << result.err;
        const Image image = ReadImageFile(Path("out.png"));
        const Looking got = Decode(image, c.x, c.y);
        EXPECT_NEAR(got.longitude, c.expected.longitude, kTolerance) << c.what;
        EXPECT_NEAR(got.latitude, c.expected.latitude, kTolerance) << c.what;
    }
}

TEST_F(RenderTest, DomeMasterEndsAtTheHorizon) {
    const std::string coded = DirectionCodedPanorama();
    const Result result =
        Render({"--env", coded, "--fov", "180", "--pitch", "-90", "--size", "61x61", "--samples",
                "1", "--bits", "16", "--colour", "raw", "--out", Path("dome.png")});
    ASSERT_EQ(result.status, 0) << result.err;
    const Image image = ReadImageFile(Path("dome.png"));
    int checked = 0, inside = 0, outside = 0;
    for (int y = 0; y < 61; ++y) {
        for (int x = 0; x < 61; ++x) {
            const double fx = (x + 0.5) / 61 - 0.5, fy = 0.5 - (y + 0.5) / 61;
            const double offAxis = std::hypot(fx, fy) * kPi; // from the zenith
            const double latitude = kPi / 2 - offAxis;
            if (std::fabs(latitude) > 89 * kDegree) {
                continue; // the panorama's rows are clamped at the poles
            }
            const Looking got = Decode(image, x, y);
            EXPECT_NEAR(got.latitude, latitude, kTolerance) << "pixel " << x << ", " << y;
            if (std::hypot(fx, fy) < 0.5) {
                EXPECT_GT(got.latitude, 0.0) << "inside the circle, below the horizon";
                ++inside;
            } else {
                EXPECT_LT(got.latitude, 0.0) << "outside the circle, above the horizon";
                ++outside;
            }
            ++checked;
        }
    }
    EXPECT_GT(inside, 2000);
    EXPECT_GT(outside, 500);
    EXPECT_EQ(checked, inside + outside);
}

TEST_F(RenderTest, ThreadCountDoesNotChangeTheImage) {
    const Result one = Render({"--threads", "1", "--size", "96x64", "--samples", "3", "--fov",
                               "210", "--out", Path("one.png")});
    const Result two = Render({"--threads", "2", "--size", "96x64", "--samples", "3", "--fov",
                               "210", "--out", Path("two.png")});
    ASSERT_EQ(one.status, 0) << one.err;
    ASSERT_EQ(two.status, 0) << two.err;
    EXPECT_EQ(Slurp(Path("one.png")), Slurp(Path("two.png")));
}

TEST_F(RenderTest, DefaultRunIsADomeMasterOfTheGridSky) {
    const Result result = Render({"--out", Path("fisheye.png")});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_NE(result.out.find("512x512, 2x2 samples per pixel, 1048576 rays"), std::string::npos)
        << result.out;
    const Image image = ReadImageFile(Path("fisheye.png"));
    EXPECT_EQ(image.width, 512);
    EXPECT_EQ(image.height, 512);
    struct Mark {
        int x, y;
        float r, g, b;
        const char *what;
    };
    // Looking straight up with the film's top towards -Z: up in the centre, the four
    // horizontal axes on the horizon circle.
    const Mark marks[] = {
        {256, 256, 0.1f, 0.8f, 0.1f, "+Y (green) in the centre"},
        {506, 256, 0.9f, 0.1f, 0.1f, "+X (red) on the right"},
        {5, 256, 0.1f, 0.9f, 0.9f, "-X (cyan) on the left"},
        {256, 5, 1.0f, 0.9f, 0.1f, "-Z (yellow) at the top"},
        {256, 506, 0.15f, 0.25f, 1.0f, "+Z (blue) at the bottom"},
    };
    for (const Mark &m : marks) {
        const float *p = image.pixel(m.x, m.y);
        EXPECT_NEAR(p[0], m.r, 0.01) << m.what;
        EXPECT_NEAR(p[1], m.g, 0.01) << m.what;
        EXPECT_NEAR(p[2], m.b, 0.01) << m.what;
    }
}

TEST_F(RenderTest, SavedSceneRendersTheSameInAnotherRun) {
    const std::vector<std::string> common = {"--size", "64x64", "--samples", "1"};
    std::vector<std::string> first = {"--key",        std::string(kFovChannel) + "=0:90,2:200",
                                      "--key",        std::string(kHShiftChannel) + "=0:0,2:0.2",
                                      "--time",       "1.3",
                                      "--heading",    "40",
                                      "--pitch",      "10",
                                      "--save-scene", Path("cam.scene"),
                                      "--out",        Path("a.png")};
    first.insert(first.end(), common.begin(), common.end());
    std::vector<std::string> second = {"--scene", Path("cam.scene"), "--out", Path("b.png")};
    second.insert(second.end(), common.begin(), common.end());
    std::vector<std::string> other = {"--time", "0", "--out", Path("c.png")};
    other.insert(other.end(), second.begin(), second.end() - 2);
    other.insert(other.end(), common.begin(), common.end());

    const Result a = Render(first);
    ASSERT_EQ(a.status, 0) << a.err;
    const Result b = Render(second);
    ASSERT_EQ(b.status, 0) << b.err;
    EXPECT_EQ(Slurp(Path("a.png")), Slurp(Path("b.png")));
    // The animation came back too: another time gives another image.
    const Result c = Render(other);
    ASSERT_EQ(c.status, 0) << c.err;
    EXPECT_NE(Slurp(Path("a.png")), Slurp(Path("c.png")));
}

TEST_F(RenderTest, PanelOfAFreshCamera) {
    const Result result = Render({"--panel"});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_NE(result.out.find("Vertical FOV:       90 degrees  (minimum 0 degrees"),
              std::string::npos)
        << result.out;
    EXPECT_NE(result.out.find("Vertical Shift:     0 %  (minimum -1000 %, maximum 1000 %)"),
              std::string::npos)
        << result.out;
}

TEST_F(RenderTest, PanelShowsTheCameraSettings) {
    const Result result = Render({"--panel", "--fov", "120", "--hshift", "0.1"});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out.rfind(std::string(kProductName) + "\n", 0), 0u) << result.out;
    EXPECT_NE(result.out.find("Vertical FOV:       120 degrees"), std::string::npos) << result.out;
    EXPECT_NE(result.out.find("Horizontal Shift:   10 %"), std::string::npos) << result.out;
}

// Writes an 8-bit image of one value with any number of channels, in a layout the renderer
// does not write itself.
std::string WriteChannels(const std::string &path, int width, int height, int channels) {
    auto out = OIIO::ImageOutput::create(path);
    const OIIO::ImageSpec spec(width, height, channels, OIIO::TypeDesc::UINT8);
    std::vector<unsigned char> pixels(static_cast<size_t>(width) * height * channels, 128);
    EXPECT_TRUE(out && out->open(path, spec) &&
                out->write_image(OIIO::TypeDesc::UINT8, pixels.data()) && out->close())
        << path;
    return path;
}

TEST_F(RenderTest, ReadsEightBitGreyRgbaAndSixteenBitPanoramas) {
    struct Case {
        const char *what;
        int channels;
    };
    const Case cases[] = {{"rgba", 4}, {"grey", 1}, {"rgb", 3}, {"grey-alpha", 2}};
    for (const Case &c : cases) {
        const std::string pano =
            WriteChannels(Path(std::string(c.what) + ".png"), 64, 32, c.channels);
        const Result r = Render({"--env", pano, "--size", "8x8", "--out", Path("out.png")});
        EXPECT_EQ(r.status, 0) << c.what << ": " << r.err;
        const Image image = ReadImageFile(Path("out.png"));
        EXPECT_NEAR(image.pixel(4, 4)[0], 128 / 255.0, 0.003) << c.what;
        EXPECT_NEAR(image.pixel(4, 4)[2], 128 / 255.0, 0.003) << c.what;
    }
}

TEST(Panorama, BilinearAndWrappedInLongitude) {
    Image image;
    image.width = 4;
    image.height = 2;
    image.pixels.assign(4 * 2 * 3, 0.0f);
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 4; ++x) {
            image.pixel(x, y)[0] = static_cast<float>(x);
        }
    }
    const std::string path = ::testing::TempDir() + "orvalen_wrap.png";
    // Values above 1 cannot be stored; scale the columns into range.
    for (float &v : image.pixels) {
        v /= 4.0f;
    }
    WriteImageFile(path, image, 16);
    const auto pano = LoadPanorama(path, ColourMode::kRaw, Filter::kBilinear);
    // Straight behind (-Z) lies on the seam: half the last column and half the first.
    const Rgb behind = pano->sample(0, 0, -1);
    EXPECT_NEAR(behind.r, (3 + 0) / 2.0 / 4.0, 1e-4);
    // Ahead (+Z) is between the two middle columns.
    EXPECT_NEAR(pano->sample(0, 0, 1).r, (1 + 2) / 2.0 / 4.0, 1e-4);
    EXPECT_EQ(pano->sample(0, 0, 0).r, 0.0f);
    std::remove(path.c_str());
}

TEST_F(RenderTest, BadInputIsAClearErrorAndLeavesNothing) {
    std::ofstream(Path("text.png")) << "not a png\n";
    WriteChannels(Path("square.png"), 32, 32, 3);
    std::ofstream(Path("bad.scene")) << "orvalen-scene 1\ntime later\n";
    const std::string out = Path("out.png");
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string message;
    };
    const Case cases[] = {
        {{"--env", Path("missing.png")}, 1, "missing.png: cannot open (No such file"},
        {{"--env", Path("text.png")}, 1, "text.png: cannot read the image (Not a PNG file)"},
        {{"--env", Path("square.png")}, 1, "must be twice as wide as it is high"},
        {{"--size", "0x10"}, 2, "--size: 0 is outside 1 to 16384"},
        {{"--size", "-5x5"}, 2, "--size: -5 is outside 1 to 16384"},
        {{"--size", "16384x16384"}, 2, "--size: 16384x16384 is more than 64 mega-pixels"},
        {{"--size", "big"}, 2, "--size: 'big' is not WIDTHxHEIGHT"},
        {{"--fov", "wide"}, 2, "--fov: 'wide' is not a finite decimal number"},
        {{"--fov", "nan"}, 2, "--fov: 'nan' is not a finite decimal number"},
        {{"--samples", "0"}, 2, "--samples: 0 is outside 1 to 16"},
        {{"--threads", "0"}, 2, "--threads: 0 is outside 1 to 256"},
        {{"--bits", "12"}, 2, "--bits: 12 is not 8 or 16"},
        {{"--fov"}, 2, "--fov needs a value"},
        {{"--zoom", "2"}, 2, "unknown option '--zoom'"},
        {{"--key", "Zoom=0:1"}, 2, "the camera has no channel 'Zoom'"},
        {{"--key", std::string(kFovChannel) + "=0"}, 2, "--key: '0' is not TIME:VALUE"},
        {{"--scene", Path("bad.scene")}, 1, "bad.scene:2: 'later' is not a number"},
        {{"--scene", Path("none.scene")}, 1, "none.scene: cannot open the scene file"},
        {{"--module", Path("none.p")}, 1, "none.p: no such module file"},
        {{"--module", ORVALEN_BAD_SYNC_MODULE}, 1, "not a module: synchronisation word"},
        {{"--host-without", host::kTimeInfoServiceName},
         1,
         std::string("activation of ") + host::kCameraHandlerClass + " " + kServerName +
             " failed: a required global service is missing (" + host::kTimeInfoServiceName + ")"},
    };
    for (const Case &c : cases) {
        std::vector<std::string> args = {"--out", out};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const Result r = Render(args);
        std::string shown;
        for (const std::string &arg : c.args) {
            shown += arg + " ";
        }
        EXPECT_EQ(r.status, c.status) << shown << r.err;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << shown << "\ngot: " << r.err;
        EXPECT_EQ(r.err.rfind("orvalen-render: ", 0), 0u) << r.err;
    }
    EXPECT_EQ(Files(), (std::vector<std::string>{"bad.scene", "square.png", "text.png"}));

    const Result unwritable = Render({"--size", "8x8", "--out", Path("no/such/dir/out.png")});
    EXPECT_EQ(unwritable.status, 1);
    EXPECT_NE(unwritable.err.find("out.png: cannot write"), std::string::npos) << unwritable.err;
    // A directory where the image should go: the rename fails after the image is written.
    mkdir(Path("taken.png").c_str(), 0755);
    const Result taken = Render({"--size", "8x8", "--out", Path("taken.png")});
    EXPECT_EQ(taken.status, 1);
    EXPECT_EQ(Files(),
              (std::vector<std::string>{"bad.scene", "square.png", "taken.png", "text.png"}));
}

TEST_F(RenderTest, HelpExplainsEveryOption) {
    const Result r = Render({"--help"});
    EXPECT_EQ(r.status, 0);
    const char *const mentions[] = {
        "--out",        "--size",  "--samples", "--bits",         "--threads",
        "--env",        "--fov",   "--hshift",  "--vshift",       "--heading",
        "--pitch",      "--bank",  "--time",    "--key",          "--scene",
        "--save-scene", "--panel", "--module",  "--host-without", "Examples",
        "grey",         "palette", "clockwise", "--option=VALUE", "130 or 143"};
    for (const char *mention : mentions) {
        EXPECT_NE(r.out.find(mention), std::string::npos) << mention;
    }
}

} // namespace

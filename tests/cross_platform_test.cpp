// The module's answers against a table the native Linux module made: rays, preview matrices and
// the float block of saved scenes, over several camera frames, fields of view up to 360 degrees
// and both shifts. Run on the Windows DLL under Wine, it shows the shipped bytes answer as the
// module every other test checks does. The two C runtimes' sine, cosine, tangent and arc
// tangent may differ in the last place, so rays and matrices may differ by 2 units in the last
// place of their largest element; saved floats must be identical.
//
// To make the table anew (after a deliberate change of the module's answers), on the native
// build: ORVALEN_WRITE_REFERENCE=tests/data/reference/native.txt
//   build/native/tests/module_tests --gtest_filter='CrossPlatform.*'

#include "camera/camera_params.h"
#include "minihost/camera_access.h"
#include "module_fixture.h"

#include <cinttypes>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

namespace {

constexpr int kGridSide = 16;

// A camera set up as the host would see it: its frame and film, and its channels' values.
struct Frame {
    double position[3];
    double up[3];
    double view[3];
    double filmWidth, filmHeight;
    double fovRadians, hShift, vShift;
};

host::CameraAccess AccessOf(const Frame &frame) {
    host::CameraAccess access{};
    std::memcpy(access.position, frame.position, sizeof frame.position);
    std::memcpy(access.upAxis, frame.up, sizeof frame.up);
    std::memcpy(access.viewAxis, frame.view, sizeof frame.view);
    access.filmWidth = frame.filmWidth;
    access.filmHeight = frame.filmHeight;
    return access;
}

// Frames turned by heading, pitch and bank as the host's items are, and two the host never
// makes (axes of other lengths, axes not at right angles) for the general form of the ray.
std::vector<Frame> Frames() {
    struct Turned {
        double heading, pitch, bank, fovDegrees, hShift, vShift, filmWidth;
    };
    const Turned turned[] = {
        {0, 0, 0, 90, 0, 0, 1.5},
        {0, -M_PI / 2, 0, 180, 0, 0, 1},
        {0.7, -0.4, 0.25, 360, 0.1, -0.05, 1.5},
        {-2.1, 0.3, 0, 220, 0.3, 0.2, 1},
        {1.0, 0.2, 1.2, 30, -0.1, 0, 0.75},
        {3.0, -1.1, -0.6, 359.9, 0, 0.5, 2},
    };
    std::vector<Frame> frames;
    minihost::HostItem item;
    for (const Turned &t : turned) {
        item.heading = t.heading;
        item.pitch = t.pitch;
        item.bank = t.bank;
        item.position[0] = 10.0;
        item.position[1] = -2.5;
        item.position[2] = 0.125;
        const host::CameraAccess access = minihost::AccessFor(item, t.filmWidth, 1.0);
        Frame frame{};
        std::memcpy(frame.position, access.position, sizeof frame.position);
        std::memcpy(frame.up, access.upAxis, sizeof frame.up);
        std::memcpy(frame.view, access.viewAxis, sizeof frame.view);
        frame.filmWidth = t.filmWidth;
        frame.filmHeight = 1.0;
        frame.fovRadians = t.fovDegrees * M_PI / 180;
        frame.hShift = t.hShift;
        frame.vShift = t.vShift;
        frames.push_back(frame);
    }
    frames.push_back({{1, 2, 3}, {0, 3, 0}, {0, 0, 0.5}, 1.5, 1, 2.1, 0.05, 0.1});
    frames.push_back({{0, 0, 0}, {0.3, 1, 0.4}, {0.1, -0.2, 1}, 1, 0.5, 3.5, -0.2, 0.15});
    return frames;
}

// Film positions on a grid reaching a little past every edge of the film.
std::vector<std::pair<double, double>> FilmPositions(const Frame &frame) {
    std::vector<std::pair<double, double>> positions;
    for (int j = 0; j < kGridSide; ++j) {
        for (int i = 0; i < kGridSide; ++i) {
            positions.push_back({((i + 0.5) / kGridSide - 0.5) * 1.2 * frame.filmWidth,
                                 ((j + 0.5) / kGridSide - 0.5) * 1.2 * frame.filmHeight});
        }
    }
    return positions;
}

const double kPreviewFovs[] = {0.05, 0.5, 1.0,  1.5, M_PI / 2, 1.6,
                               2.0,  3.0, M_PI, 4.0, 5.5,      2 * M_PI};

// Values whose saved float block is compared bit for bit, in the order of the parameters.
const double kSavedValues[][5] = {
    {M_PI / 2, 0, 0, 0, 0},
    {0.1, 0.2, 0.3, 0.4, 0.5},
    {2 * M_PI, -0.333333333333, 1e-9, -M_PI, 123.456},
    {1e-40, -1e30, 0.7, 3.4028234663852886e38, -0.0},
};

std::string Bits(double value) {
    std::uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    char text[20];
    std::snprintf(text, sizeof text, "%016" PRIx64, bits);
    return text;
}

std::string Bits(float value) {
    std::uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    char text[12];
    std::snprintf(text, sizeof text, "%08" PRIx32, bits);
    return text;
}

double DoubleOf(const std::string &bits) {
    const std::uint64_t word = std::stoull(bits, nullptr, 16);
    double value;
    std::memcpy(&value, &word, sizeof value);
    return value;
}

// How far apart two values are, in units of the last place of scale.
double UlpsApart(double a, double b, double scale) {
    scale = std::fabs(scale);
    const double ulp = std::nextafter(scale, INFINITY) - scale;
    return a == b ? 0.0 : std::fabs(a - b) / (ulp > 0 ? ulp : 5e-324);
}

class CrossPlatform : public ModuleTest {
  protected:
    void SetUp() override {
        ModuleTest::SetUp();
        ActivateHandlerOrFail();
        camera = &CameraOf(NewCamera());
    }

    void Set(double fov, double hShift, double vShift) {
        camera->setValue(kFovChannel, fov);
        camera->setValue(kHShiftChannel, hShift);
        camera->setValue(kVShiftChannel, vShift);
        camera->setTime(0.0);
        host.log.clear();
    }

    // The module's answers, one line each, every number as its bit pattern.
    std::vector<std::string> Answers() {
        std::vector<std::string> lines;
        for (const Frame &frame : Frames()) {
            Set(frame.fovRadians, frame.hShift, frame.vShift);
            const host::CameraAccess access = AccessOf(frame);
            for (const auto &position : FilmPositions(frame)) {
                const host::CameraRay ray =
                    camera->evaluate(position.first, position.second, access);
                lines.push_back("ray " + Bits(ray.direction[0]) + " " + Bits(ray.direction[1]) +
                                " " + Bits(ray.direction[2]));
            }
        }
        host::CameraAccess access = AccessOf(Frames()[0]);
        for (double fov : kPreviewFovs) {
            Set(fov, 0.1, -0.2);
            const host::Matrix4 matrix = camera->preview(access);
            std::string line = "preview";
            for (double element : matrix.m) {
                line += " " + Bits(element);
            }
            lines.push_back(line);
        }
        for (const auto &values : kSavedValues) {
            for (int i = 0; i < kCameraParamCount; ++i) {
                camera->setValue(kCameraParams[i].channelName, values[i]);
            }
            camera->setTime(0.0);
            std::string line = "floats";
            for (float value : StoredValuesOf(*camera)) {
                line += " " + Bits(value);
            }
            lines.push_back(line);
        }
        return lines;
    }

    minihost::Camera *camera = nullptr;
};

std::vector<std::string> Words(const std::string &line) {
    std::istringstream in(line);
    std::vector<std::string> words;
    for (std::string word; in >> word;) {
        words.push_back(word);
    }
    return words;
}

TEST_F(CrossPlatform, AnswersMatchTheNativeModulesTable) {
    const std::vector<std::string> answers = Answers();
    if (const char *out = std::getenv("ORVALEN_WRITE_REFERENCE")) {
        std::ofstream file(out);
        file << "# The native module's answers, compared by tests/cross_platform_test.cpp; every\n"
                "# number is the bit pattern of a double (16 hex digits) or a float (8).\n";
        for (const std::string &line : answers) {
            file << line << "\n";
        }
        ASSERT_TRUE(file.good()) << out;
        GTEST_SKIP() << "wrote " << out;
    }

    std::ifstream file(std::string(ORVALEN_TEST_DATA_DIR) + "/reference/native.txt");
    ASSERT_TRUE(file.good()) << "no reference table";
    std::vector<std::string> expected;
    for (std::string line; std::getline(file, line);) {
        if (!line.empty() && line[0] != '#') {
            expected.push_back(line);
        }
    }
    ASSERT_EQ(answers.size(), expected.size());
    int rays = 0;
    int differing = 0;
    double mostUlps = 0.0;
    for (size_t n = 0; n < answers.size(); ++n) {
        const std::vector<std::string> got = Words(answers[n]);
        const std::vector<std::string> want = Words(expected[n]);
        ASSERT_EQ(got.size(), want.size()) << "line " << n;
        ASSERT_EQ(got[0], want[0]) << "line " << n;
        if (got[0] == "floats") {
            EXPECT_EQ(got, want) << "line " << n;
            continue;
        }
        // A ray's components are measured against its largest, a matrix element against itself.
        double largest = 0.0;
        for (size_t k = 1; k < want.size(); ++k) {
            largest = std::fmax(largest, std::fabs(DoubleOf(want[k])));
        }
        for (size_t k = 1; k < want.size(); ++k) {
            const double a = DoubleOf(got[k]);
            const double b = DoubleOf(want[k]);
            const double scale = got[0] == "ray" ? largest : std::fmax(std::fabs(a), std::fabs(b));
            const double ulps = UlpsApart(a, b, scale);
            differing += ulps > 0.0;
            mostUlps = std::fmax(mostUlps, ulps);
            EXPECT_LE(ulps, 2.0) << answers[n] << "\nwhere the native module said\n"
                                 << expected[n] << "\n(line " << n << ", element " << k << ")";
        }
        rays += got[0] == "ray";
    }
    EXPECT_EQ(rays, 8 * kGridSide * kGridSide);
    std::printf("%d numbers differ from the native module's, by at most %g units in the last "
                "place\n",
                differing, mostUlps);
}

} // namespace

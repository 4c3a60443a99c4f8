#pragma once

#include "colour.h"
#include "environment.h"

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

// A command line the renderer cannot act on; main answers it with exit status 2.
class UsageError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// One key of an animation channel, in the channel's own units (see ChannelUnit).
struct KeyOption {
    std::string channel;
    double time;
    double value;
};

// The frames of a sequence: FIRST-LAST[:STEP], at --fps frames a second of the host's time.
struct FrameRange {
    int first = 0;
    int last = 0;
    int step = 1;
};

struct RenderOptions {
    std::string out = "fisheye.png";
    std::string environment; // empty: the built-in grid sky
    std::string module;
    std::optional<double> fovDegrees;
    std::optional<double> hShift;
    std::optional<double> vShift;
    std::optional<double> headingDegrees;
    std::optional<double> pitchDegrees;
    std::optional<double> bankDegrees;
    int width = 512;
    int height = 512;
    std::optional<double> time;
    std::vector<KeyOption> keys;
    std::string scene;
    std::string saveScene;
    int samples = 2;
    int threads = 0;         // 0: one per core
    std::optional<int> bits; // unset: the output format's first choice
    ColourMode colour = ColourMode::kManaged;
    Filter filter = Filter::kBilinear;
    std::optional<FrameRange> frames;
    double fps = 30.0;
    bool mask = false;
    bool panel = false;
    bool help = false;
    std::vector<std::string> hostWithout;
};

// Options that only a render can use: refused with --panel, which renders nothing.
constexpr const char *kRenderOnlyOptions[] = {"--out",     "--env",    "--size",       "--samples",
                                              "--threads", "--bits",   "--save-scene", "--colour",
                                              "--filter",  "--frames", "--fps",        "--mask"};

// Defaults used when neither the command line nor a scene sets them: a dome master.
constexpr double kDefaultFovDegrees = 180.0;
constexpr double kDefaultPitchDegrees = -90.0;
constexpr int kMaxSide = 16384;
constexpr double kMaxPixels = 64.0 * 1024 * 1024;
constexpr int kMaxSamples = 16;
constexpr int kMaxThreads = 256;

// The output's name for a frame: the run of # (or a printf-style %d, %04d) replaced by the
// frame number, padded with zeros to the run's length. Empty when the name has no such place.
std::string FrameFileName(const std::string &pattern, int frame);

// Throws UsageError saying which argument is wrong and why.
RenderOptions ParseOptions(const std::vector<std::string> &args, const std::string &module);

std::string HelpText();

// The camera's channels and how their values are written on the command line: true when the
// channel is an angle given in degrees, false for a fraction. Throws UsageError for others.
bool ChannelIsAngle(const std::string &channel);

#include "options.h"

#include "camera/camera_params.h"
#include "image_io.h"
#include "minihost/host.h"
#include "minihost/plain_numbers.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <sstream>
#include <sys/stat.h>
#include <tuple>

namespace {

// "FOV, HShift, ..." in the order of the camera's parameters.
std::string ChannelNames() {
    std::string names;
    for (const CameraParamRow &row : kCameraParams) {
        names += std::string(names.empty() ? "" : ", ") + row.channelName;
    }
    return names;
}

double Number(const std::string &option, const std::string &text) {
    const double value = minihost::IsPlainDecimal(text) ? std::strtod(text.c_str(), nullptr) : NAN;
    if (!std::isfinite(value)) {
        throw UsageError(option + ": '" + text + "' is not a finite decimal number");
    }
    return value;
}

int Whole(const std::string &option, const std::string &text, int lowest, int highest) {
    errno = 0;
    const long value = minihost::IsPlainWhole(text) ? std::strtol(text.c_str(), nullptr, 10) : 0;
    if (!minihost::IsPlainWhole(text) || errno == ERANGE) {
        throw UsageError(option + ": '" + text + "' is not a whole number");
    }
    if (value < lowest || value > highest) {
        throw UsageError(option + ": " + text + " is outside " + std::to_string(lowest) + " to " +
                         std::to_string(highest));
    }
    return static_cast<int>(value);
}

void ParseSize(const std::string &text, RenderOptions *options) {
    const size_t x = text.find('x');
    if (x == std::string::npos || text.find('x', x + 1) != std::string::npos) {
        throw UsageError("--size: '" + text + "' is not WIDTHxHEIGHT, e.g. 1024x1024");
    }
    options->width = Whole("--size", text.substr(0, x), 1, kMaxSide);
    options->height = Whole("--size", text.substr(x + 1), 1, kMaxSide);
    if (static_cast<double>(options->width) * options->height > kMaxPixels) {
        throw UsageError("--size: " + text + " is more than " +
                         std::to_string(static_cast<long>(kMaxPixels / 1024 / 1024)) +
                         " mega-pixels");
    }
}

void ParseKeys(const std::string &text, RenderOptions *options) {
    const size_t equals = text.find('=');
    if (equals == std::string::npos || equals == 0) {
        throw UsageError("--key: '" + text + "' is not NAME=TIME:VALUE,TIME:VALUE...");
    }
    const std::string channel = text.substr(0, equals);
    ChannelIsAngle(channel);
    std::string rest = text.substr(equals + 1);
    size_t start = 0;
    do {
        const size_t comma = rest.find(',', start);
        const std::string key = rest.substr(start, comma - start);
        const size_t colon = key.find(':');
        if (colon == std::string::npos) {
            throw UsageError("--key: '" + key + "' is not TIME:VALUE");
        }
        options->keys.push_back({channel, Number("--key", key.substr(0, colon)),
                                 Number("--key", key.substr(colon + 1))});
        start = comma == std::string::npos ? std::string::npos : comma + 1;
    } while (start != std::string::npos);
}

} // namespace

bool ChannelIsAngle(const std::string &channel) {
    for (const CameraParamRow &row : kCameraParams) {
        if (channel == row.channelName) {
            return row.unit == ParamUnit::kRadians;
        }
    }
    throw UsageError("--key: the camera has no channel '" + channel + "' (it has " +
                     ChannelNames() + ")");
}

std::string FrameFileName(const std::string &pattern, int frame) {
    const size_t hashes = pattern.find('#');
    if (hashes != std::string::npos) {
        const size_t end = pattern.find_first_not_of('#', hashes);
        const size_t width = (end == std::string::npos ? pattern.size() : end) - hashes;
        std::string number = std::to_string(frame);
        if (number.size() < width) {
            number.insert(0, width - number.size(), '0');
        }
        return pattern.substr(0, hashes) + number +
               (end == std::string::npos ? "" : pattern.substr(end));
    }
    const size_t percent = pattern.find('%');
    if (percent != std::string::npos) {
        size_t at = percent + 1;
        size_t width = 0;
        while (at < pattern.size() && std::isdigit(static_cast<unsigned char>(pattern[at]))) {
            width = width * 10 + static_cast<size_t>(pattern[at] - '0');
            ++at;
        }
        if (at < pattern.size() && pattern[at] == 'd' && width <= 16) {
            std::string number = std::to_string(frame);
            if (number.size() < width) {
                number.insert(0, width - number.size(), '0');
            }
            return pattern.substr(0, percent) + number + pattern.substr(at + 1);
        }
    }
    return "";
}

namespace {

// The command line as CLI11 reads it. Every value is kept as text, so that the checks below
// read it by the renderer's own rules (plain decimals) and say what is wrong in its own words.
struct CommandLine {
    std::string out, env, module, fov, hShift, vShift, heading, pitch, bank, size, time, scene,
        saveScene, samples, threads, bits, colour, filter, frames, fps;
    std::vector<std::string> keys, hostWithout;
    bool panel = false, mask = false;
};

constexpr const char *kOutputGroup = "Output";
constexpr const char *kSceneGroup = "What the camera looks at";
constexpr const char *kCameraGroup = "Camera settings, set through the host's parameters";
constexpr const char *kSequenceGroup = "Animation";
constexpr const char *kOtherGroup = "Other";

// Help text broken into lines that fit beside the options' column.
std::string Wrapped(const std::string &text) {
    constexpr size_t kWidth = 62;
    std::string out;
    size_t lineStart = 0;
    std::istringstream words(text);
    for (std::string word; words >> word;) {
        if (out.size() > lineStart && out.size() - lineStart + 1 + word.size() > kWidth) {
            out += "\n";
            lineStart = out.size();
        } else if (out.size() > lineStart) {
            out += " ";
        }
        out += word;
    }
    return out;
}

void Describe(CLI::App &app, CommandLine &line) {
    auto text = [&](const char *name, std::string &into, const char *type, const char *group,
                    const std::string &description) {
        app.add_option(name, into, Wrapped(description))
            ->type_name(type)
            ->group(group)
            ->take_last();
    };
    // An option that may be given again and again, one value each time.
    auto repeated = [&](const char *name, std::vector<std::string> &into, const char *type,
                        const char *group, const std::string &description) {
        app.add_option(name, into, Wrapped(description))
            ->type_name(type)
            ->group(group)
            ->expected(1)
            ->take_all()
            ->allow_extra_args(false);
    };
    text("--out", line.out, "FILE", kOutputGroup,
         "image to write (default fisheye.png); the format follows the name: " + KnownExtensions() +
             ". With --frames, #### or %04d in the name is the frame number");
    text("--size", line.size, "WxH", kOutputGroup,
         "image size in pixels (default 512x512); the film is 1 unit high and W/H wide");
    text("--samples", line.samples, "N", kOutputGroup,
         "N x N samples per pixel, 1 to 16 (default 2)");
    text("--bits", line.bits, "BITS", kOutputGroup,
         "bits per channel: PNG 8 or 16, JPEG 8, TIFF 8, 16 or 32 (float), EXR 16 (half) or 32 "
         "(float), HDR 32; default the first of these");
    text("--colour", line.colour, "managed|raw", kOutputGroup,
         "managed (default): integer images hold sRGB values, float images linear ones, and "
         "samples are filtered and averaged in linear light; raw: values pass through untouched, "
         "for images of data");
    app.add_flag("--mask", line.mask,
                 Wrapped("leave what lies outside the image circle (more than half the field of "
                         "view off axis) transparent where the format has alpha, black "
                         "elsewhere"))
        ->group(kOutputGroup)
        ->disable_flag_override();
    text("--threads", line.threads, "N", kOutputGroup,
         "render threads (default: one per core); the image is the same for any N");
    text("--env", line.env, "FILE", kSceneGroup,
         "an equirectangular (latitude-longitude) panorama, 2:1, in any format OpenImageIO reads "
         "(PNG, JPEG, TIFF, OpenEXR, HDR...), grey, RGB or palette, alpha ignored. Default: a "
         "built-in sky and ground with lines every 15 degrees");
    text("--filter", line.filter, "bilinear|bicubic", kSceneGroup,
         "how the panorama is sampled between texels: bilinear (default), or bicubic "
         "(Catmull-Rom), sharper where the panorama is enlarged");
    text("--fov", line.fov, "DEG", kCameraGroup, "vertical field of view in degrees (default 180)");
    text("--hshift", line.hShift, "FRACTION", kCameraGroup,
         "horizontal shift as a fraction of the film width (0.1 is 10 percent)");
    text("--vshift", line.vShift, "FRACTION", kCameraGroup,
         "vertical shift as a fraction of the film height");
    text("--heading", line.heading, "DEG", kCameraGroup, "turn right (default 0)");
    text("--pitch", line.pitch, "DEG", kCameraGroup,
         "positive looks down, negative up (default -90: straight up, a dome master)");
    text("--bank", line.bank, "DEG", kCameraGroup,
         "roll: positive turns the top of the view to the right, clockwise as seen through the "
         "camera (default 0)");
    repeated("--key", line.keys, "NAME=T:V,...", kCameraGroup,
             "keys on a channel: " + ChannelNames() +
                 ". Angles in degrees, shifts as fractions. Keyed channels win over --fov, "
                 "--hshift and --vshift");
    text("--scene", line.scene, "FILE", kCameraGroup,
         "start from a camera saved by --save-scene (at most 16 MiB); options given change it");
    text("--save-scene", line.saveScene, "FILE", kCameraGroup,
         "save the camera (settings, animation, orientation, time) to FILE");
    text("--time", line.time, "T", kSequenceGroup, "render the frame at time T (seconds)");
    text("--frames", line.frames, "FIRST-LAST[:STEP]", kSequenceGroup,
         "render every STEP-th frame from FIRST to LAST, each at its time FRAME / FPS");
    text("--fps", line.fps, "FPS", kSequenceGroup, "frames a second (default 30)");
    app.add_flag("--panel", line.panel,
                 Wrapped("print the camera's settings panel instead of rendering: a new "
                         "camera's, changed by the camera settings given"))
        ->group(kOtherGroup)
        ->disable_flag_override();
    text("--module", line.module, "FILE", kOtherGroup,
         "the module file to load (default: the one this build made)");
    repeated("--host-without", line.hostWithout, "NAME", kOtherGroup,
             "act as a host that lacks the named service, to see how the module copes");
    app.set_help_flag("--help,-h", "this text")->group(kOtherGroup);
    app.footer(
        R"(Options take their value as --option VALUE or --option=VALUE; numbers are plain decimals.
Outputs are written only when everything worked: a file is written to a temporary file beside
it and renamed into place (a link keeps pointing at it; a device or a pipe is written
directly). An interrupt or termination removes the temporary files; a sequence keeps the
frames already finished. A panorama may take at most 2 GiB to read.

Examples
  orvalen-render --out dome.png
  orvalen-render --env pano.exr --fov 220 --size 2048x2048 --out dome220.exr
  orvalen-render --pitch 0 --fov 120 --hshift 0.25 --size 800x400 --out shifted.png
  orvalen-render --key FOV=0:90,2:180 --frames 0-60 --mask --out dome.####.png

Exit status: 0 done, 1 the work failed (a file, the module), 2 the command line is wrong;
130 or 143 when interrupted or terminated.)");
}

void Configure(CLI::App &app) {
    app.name("orvalen-render");
    app.description(
        "orvalen-render: render what an Orvalen fisheye camera sees\n\n"
        "Loads the Orvalen module through its descriptor, activates its camera handler as the "
        "host would,\nand asks the camera for one ray per film sample.");
    app.get_formatter()->column_width(34);
    app.allow_extras();
}

FrameRange ParseFrames(const std::string &text) {
    const size_t dash = text.find('-');
    const size_t colon = text.find(':');
    const std::string wrong = "--frames: '" + text + "' is not FIRST-LAST or FIRST-LAST:STEP";
    if (dash == std::string::npos || (colon != std::string::npos && colon < dash)) {
        throw UsageError(wrong);
    }
    FrameRange range;
    range.first = Whole("--frames", text.substr(0, dash), 0, 9999999);
    const std::string last =
        text.substr(dash + 1, colon == std::string::npos ? std::string::npos : colon - dash - 1);
    range.last = Whole("--frames", last, 0, 9999999);
    if (colon != std::string::npos) {
        range.step = Whole("--frames", text.substr(colon + 1), 1, 9999999);
    }
    if (range.last < range.first) {
        throw UsageError("--frames: " + text + " ends before it begins");
    }
    if ((range.last - range.first) / range.step >= 100000) {
        throw UsageError("--frames: " + text + " is more than 100000 frames");
    }
    return range;
}

// CLI11's words for a missing or unwanted value, in the renderer's.
[[noreturn]] void Mismatch(const std::string &what) {
    const size_t flag = what.find(" was given a disallowed flag override");
    if (flag != std::string::npos) {
        throw UsageError("--" + what.substr(0, flag) + " takes no value");
    }
    const size_t colon = what.find(':');
    if (what.rfind("--", 0) == 0 && colon != std::string::npos) {
        throw UsageError(what.substr(0, colon) + " needs a value");
    }
    throw UsageError(what);
}

} // namespace

RenderOptions ParseOptions(const std::vector<std::string> &args, const std::string &module) {
    CLI::App app;
    Configure(app);
    CommandLine line;
    Describe(app, line);
    std::vector<std::string> reversed(args.rbegin(), args.rend());
    RenderOptions options;
    options.module = module;
    try {
        app.parse(reversed);
    } catch (const CLI::CallForHelp &) {
        options.help = true;
        return options;
    } catch (const CLI::ArgumentMismatch &e) {
        Mismatch(e.what());
    } catch (const CLI::ParseError &e) {
        throw UsageError(e.what());
    }
    for (const std::string &extra : app.remaining()) {
        if (extra.size() > 1 && extra[0] == '-') {
            throw UsageError("unknown option '" + extra.substr(0, extra.find('=')) +
                             "' (see --help)");
        }
        throw UsageError("orvalen-render takes no arguments other than options, and '" + extra +
                         "' is none (for a panorama to look at, --env " + extra + "; see --help)");
    }
    auto given = [&](const char *name) { return app.count(name) > 0; };

    if (given("--out")) {
        options.out = line.out;
    }
    options.environment = line.env;
    if (given("--module")) {
        options.module = line.module;
    }
    const std::tuple<const char *, const std::string *, std::optional<double> *> numbers[] = {
        {"--fov", &line.fov, &options.fovDegrees},
        {"--hshift", &line.hShift, &options.hShift},
        {"--vshift", &line.vShift, &options.vShift},
        {"--heading", &line.heading, &options.headingDegrees},
        {"--pitch", &line.pitch, &options.pitchDegrees},
        {"--bank", &line.bank, &options.bankDegrees},
        {"--time", &line.time, &options.time},
    };
    for (const auto &[name, text, value] : numbers) {
        if (given(name)) {
            *value = Number(name, *text);
        }
    }
    if (given("--size")) {
        ParseSize(line.size, &options);
    }
    for (const std::string &key : line.keys) {
        ParseKeys(key, &options);
    }
    options.scene = line.scene;
    if (given("--save-scene")) {
        options.saveScene = line.saveScene;
        if (options.saveScene.empty()) {
            throw UsageError("--save-scene needs a file name");
        }
    }
    if (given("--samples")) {
        options.samples = Whole("--samples", line.samples, 1, kMaxSamples);
    }
    if (given("--threads")) {
        options.threads = Whole("--threads", line.threads, 1, kMaxThreads);
    }
    if (given("--colour")) {
        if (line.colour != "managed" && line.colour != "raw") {
            throw UsageError("--colour: '" + line.colour + "' is not managed or raw");
        }
        options.colour = line.colour == "raw" ? ColourMode::kRaw : ColourMode::kManaged;
    }
    if (given("--filter")) {
        if (line.filter != "bilinear" && line.filter != "bicubic") {
            throw UsageError("--filter: '" + line.filter + "' is not bilinear or bicubic");
        }
        options.filter = line.filter == "bicubic" ? Filter::kBicubic : Filter::kBilinear;
    }
    if (given("--frames")) {
        options.frames = ParseFrames(line.frames);
    }
    if (given("--fps")) {
        options.fps = Number("--fps", line.fps);
        if (!(options.fps > 0.0)) {
            throw UsageError("--fps: " + line.fps + " is not more than 0");
        }
    }
    options.mask = line.mask;
    options.panel = line.panel;
    for (const std::string &service : line.hostWithout) {
        const std::vector<std::string> &known = minihost::HostServiceNames();
        if (std::find(known.begin(), known.end(), service) == known.end()) {
            std::string names;
            for (const std::string &name : known) {
                names += (names.empty() ? "'" : ", '") + name + "'";
            }
            throw UsageError("--host-without: the host has no service '" + service +
                             "' to leave out (it has " + names + ")");
        }
        options.hostWithout.push_back(service);
    }

    if (options.out.empty()) {
        throw UsageError("--out needs a file name");
    }
    if (options.panel) {
        std::string useless;
        for (const char *renderOnly : kRenderOnlyOptions) {
            if (given(renderOnly)) {
                useless += (useless.empty() ? "" : ", ") + std::string(renderOnly);
            }
        }
        if (!useless.empty()) {
            throw UsageError("--panel prints the settings panel and renders nothing, so " +
                             useless + " would have no effect");
        }
        return options;
    }
    if (options.frames && options.time) {
        throw UsageError("--time and --frames both set the time: give one of them");
    }
    if (options.frames && FrameFileName(options.out, 0).empty()) {
        throw UsageError("--out: with --frames the name needs a place for the frame number, as "
                         "in dome.####.png or dome.%04d.png");
    }
    if (given("--fps") && !options.frames) {
        throw UsageError("--fps sets the time of --frames, which is not given");
    }
    // A directory has no format to tell; writing refuses it, saying so.
    struct stat info;
    if (options.out.back() == '/' ||
        (stat(options.out.c_str(), &info) == 0 && S_ISDIR(info.st_mode))) {
        return options;
    }
    OutputFormat format;
    try {
        format = FormatFor(options.out);
    } catch (const ImageError &e) {
        throw UsageError(std::string("--out: ") + e.what());
    }
    if (given("--bits")) {
        const int bits = Whole("--bits", line.bits, 1, 64);
        if (std::find(format.bits.begin(), format.bits.end(), bits) == format.bits.end()) {
            std::string allowed;
            for (size_t i = 0; i < format.bits.size(); ++i) {
                allowed += (i == 0                        ? ""
                            : i + 1 == format.bits.size() ? " or "
                                                          : ", ") +
                           std::to_string(format.bits[i]);
            }
            throw UsageError("--bits: " + line.bits + " is not " + allowed + " for ." +
                             options.out.substr(options.out.find_last_of('.') + 1));
        }
        options.bits = bits;
    }
    return options;
}

std::string HelpText() {
    CLI::App app;
    Configure(app);
    CommandLine line;
    Describe(app, line);
    return app.help();
}

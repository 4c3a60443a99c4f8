#include "options.h"

#include "camera/camera_params.h"
#include "minihost/host.h"
#include "minihost/plain_numbers.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>

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

RenderOptions ParseOptions(const std::vector<std::string> &args, const std::string &module) {
    RenderOptions options;
    options.module = module;
    for (size_t i = 0; i < args.size(); ++i) {
        // --option=value is --option value.
        std::string option = args[i];
        std::optional<std::string> attached;
        const size_t equals = option.find('=');
        if (option.rfind("--", 0) == 0 && equals != std::string::npos) {
            attached = option.substr(equals + 1);
            option = option.substr(0, equals);
        }
        auto value = [&]() -> std::string {
            if (attached) {
                return *attached;
            }
            if (i + 1 >= args.size()) {
                throw UsageError(option + " needs a value");
            }
            return args[++i];
        };
        auto flag = [&] {
            if (attached) {
                throw UsageError(option + " takes no value");
            }
        };
        if (option.empty() || option[0] != '-' || option == "-") {
            throw UsageError("orvalen-render takes no arguments other than options, and '" +
                             option + "' is none (for a panorama to look at, --env " + option +
                             "; see --help)");
        }
        options.given.insert(option);
        if (option == "--help" || option == "-h") {
            flag();
            options.help = true;
        } else if (option == "--out") {
            options.out = value();
        } else if (option == "--env") {
            options.environment = value();
        } else if (option == "--module") {
            options.module = value();
        } else if (option == "--fov") {
            options.fovDegrees = Number(option, value());
        } else if (option == "--hshift") {
            options.hShift = Number(option, value());
        } else if (option == "--vshift") {
            options.vShift = Number(option, value());
        } else if (option == "--heading") {
            options.headingDegrees = Number(option, value());
        } else if (option == "--pitch") {
            options.pitchDegrees = Number(option, value());
        } else if (option == "--bank") {
            options.bankDegrees = Number(option, value());
        } else if (option == "--size") {
            ParseSize(value(), &options);
        } else if (option == "--time") {
            options.time = Number(option, value());
        } else if (option == "--key") {
            ParseKeys(value(), &options);
        } else if (option == "--scene") {
            options.scene = value();
        } else if (option == "--save-scene") {
            options.saveScene = value();
            if (options.saveScene.empty()) {
                throw UsageError("--save-scene needs a file name");
            }
        } else if (option == "--samples") {
            options.samples = Whole(option, value(), 1, kMaxSamples);
        } else if (option == "--threads") {
            options.threads = Whole(option, value(), 1, kMaxThreads);
        } else if (option == "--bits") {
            options.bits = Whole(option, value(), 8, 16);
            if (options.bits != 8 && options.bits != 16) {
                throw UsageError("--bits: " + std::to_string(options.bits) + " is not 8 or 16");
            }
        } else if (option == "--panel") {
            flag();
            options.panel = true;
        } else if (option == "--host-without") {
            const std::string service = value();
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
        } else {
            throw UsageError("unknown option '" + option + "' (see --help)");
        }
    }
    if (options.out.empty()) {
        throw UsageError("--out needs a file name");
    }
    if (options.panel) {
        std::string useless;
        for (const char *renderOnly : kRenderOnlyOptions) {
            if (options.given.count(renderOnly)) {
                useless += (useless.empty() ? "" : ", ") + std::string(renderOnly);
            }
        }
        if (!useless.empty()) {
            throw UsageError("--panel prints the settings panel and renders nothing, so " +
                             useless + " would have no effect");
        }
    }
    return options;
}

std::string HelpText() {
    return R"(orvalen-render: render what an Orvalen fisheye camera sees

Loads the Orvalen module through its descriptor, activates its camera handler as the host
would, and asks the camera for one ray per film sample.

usage: orvalen-render [options]

Output
  --out FILE          PNG to write (default fisheye.png); written whole or not at all
  --size WxH          image size in pixels (default 512x512). The film is 1 unit high and
                      W/H units wide, so the image height spans the field of view
  --samples N         N x N samples per pixel, 1 to 16 (default 2)
  --bits 8|16         bits per channel of the PNG (default 8)
  --threads N         render threads (default: one per core); the image is the same for any N

What the camera looks at
  --env FILE          an equirectangular (latitude-longitude) PNG, 2:1, 8 or 16 bits, grey,
                      grey with alpha, RGB, RGBA or palette (alpha is ignored); its centre
                      looks ahead (+Z), its right half to the right (+X). At most 2 GiB
                      decoded (4 bytes a colour: 16384x8192 takes 1.5 GiB).
                      Default: a built-in sky and ground with lines every 15 degrees, the
                      horizon in white and the axes marked: +X red, -X cyan, +Y (up) green,
                      -Y magenta, +Z (ahead) blue, -Z yellow

Camera settings, set through the host's parameters
  --fov DEG           vertical field of view in degrees (default 180)
  --hshift FRACTION   horizontal shift as a fraction of the film width (0.1 is 10 percent)
  --vshift FRACTION   vertical shift as a fraction of the film height
  --heading DEG       turn right (default 0)
  --pitch DEG         positive looks down, negative up (default -90: straight up, a dome
                      master)
  --bank DEG          roll: positive turns the top of the view to the right, clockwise as
                      seen through the camera (default 0)
  --time T            render the frame at time T (seconds)
  --key NAME=T:V,...  keys on a channel: )" +
           ChannelNames() + R"(.
                      Angles in degrees, shifts as fractions. Keyed channels win over --fov,
                      --hshift and --vshift
  --scene FILE        start from a camera saved by --save-scene; options given change it
                      (at most 16 MiB)
  --save-scene FILE   save the camera (settings, animation, orientation, time) to FILE

Other
  --panel             print the camera's settings panel instead of rendering: a new camera's,
                      changed by the camera settings given
  --module FILE       the module file to load (default: the one this build made)
  --host-without NAME act as a host that lacks the named service, to see how the module copes
  --help              this text

Examples
  orvalen-render --out dome.png
  orvalen-render --env pano.png --fov 220 --size 2048x2048 --out dome220.png
  orvalen-render --pitch 0 --fov 120 --hshift 0.25 --size 800x400 --out shifted.png
  orvalen-render --key FOV=0:90,2:180 --time 1 --out frame.png

Options take their value as --option VALUE or --option=VALUE; numbers are plain decimals.
Outputs are written only when everything worked: a file is written to a temporary file beside
it and renamed into place (a link keeps pointing at it; a device or a pipe is written
directly). An interrupt or termination removes the temporary files.

Exit status: 0 done, 1 the work failed (a file, the module), 2 the command line is wrong;
130 or 143 when interrupted or terminated.
)";
}

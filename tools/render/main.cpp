// orvalen-render: renders what an Orvalen fisheye camera sees, through the stand-in host.

#include "camera/camera_params.h"
#include "environment.h"
#include "image_io.h"

#include "minihost/output_file.h"
#include "minihost/scene_file.h"
#include "minihost/session.h"
#include "module/names.h"
#include "options.h"
#include "render.h"
#include <OpenImageIO/imageio.h>

#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <new>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

constexpr double kRadiansPerDegree = 3.14159265358979323846 / 180.0;

// A bar on stderr once a run has taken a moment, only when a person is watching it: first the
// render, then the writing of the image.
class ProgressBar {
  public:
    ProgressBar() : shown_(isatty(STDERR_FILENO) != 0), start_(Clock::now()) {}
    void update(const std::string &what, double fraction) {
        if (!shown_ || Clock::now() - start_ < std::chrono::milliseconds(500)) {
            return;
        }
        const int width = 40;
        const int filled = static_cast<int>(fraction * width);
        std::fprintf(stderr, "\r[%s%s] %3d%% %-30.30s", std::string(filled, '#').c_str(),
                     std::string(width - filled, ' ').c_str(), static_cast<int>(fraction * 100),
                     what.c_str());
        drawn_ = true;
    }
    void finish() {
        if (drawn_) {
            std::fprintf(stderr, "\r%80s\r", "");
        }
    }

  private:
    using Clock = std::chrono::steady_clock;
    bool shown_;
    bool drawn_ = false;
    Clock::time_point start_;
};

void Warn(const std::string &text) {
    std::fprintf(stderr, "orvalen-render: warning: %s\n", text.c_str());
}

std::string Shown(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

// True when both paths name one existing file.
bool SameFile(const std::string &a, const std::string &b) {
    struct stat first, second;
    return !a.empty() && !b.empty() && stat(a.c_str(), &first) == 0 &&
           stat(b.c_str(), &second) == 0 && first.st_dev == second.st_dev &&
           first.st_ino == second.st_ino;
}

// An output must not overwrite what the run reads. Saving the camera over the scene it was
// loaded from is allowed: that is how a scene is updated.
void CheckOutputsAreNotInputs(const RenderOptions &options,
                              const std::vector<std::string> &imageNames) {
    const std::pair<const char *, const std::string *> inputs[] = {
        {"--env", &options.environment},
        {"--scene", &options.scene},
        {"--module", &options.module},
    };
    std::vector<std::pair<const char *, std::string>> outputs;
    for (const std::string &name : imageNames) {
        outputs.push_back({"--out", name});
    }
    outputs.push_back({"--save-scene", options.saveScene});
    for (const auto &output : outputs) {
        for (const auto &input : inputs) {
            const bool updatesScene = std::string(output.first) == "--save-scene" &&
                                      std::string(input.first) == "--scene";
            if (!updatesScene && SameFile(output.second, *input.second)) {
                throw UsageError(std::string(output.first) + " " + output.second +
                                 " names the file " + input.first +
                                 " reads; writing it would destroy it");
            }
        }
        if (std::string(output.first) == "--out" && SameFile(output.second, options.saveScene)) {
            throw UsageError("--out and --save-scene name the same file");
        }
    }
}

// One image to render: the frame's time and where it goes.
struct Frame {
    double time;
    std::string out;
};

std::vector<Frame> FramesOf(const RenderOptions &options, double now) {
    std::vector<Frame> frames;
    if (!options.frames) {
        frames.push_back({options.time.value_or(now), options.out});
        return frames;
    }
    for (int frame = options.frames->first; frame <= options.frames->last;
         frame += options.frames->step) {
        frames.push_back({frame / options.fps, FrameFileName(options.out, frame)});
    }
    return frames;
}

void ApplySettings(const RenderOptions &options, minihost::Camera &camera) {
    minihost::HostItem &item = camera.item();
    // The render defaults belong to rendering: a panel shows the camera as it is.
    const bool keepCamera = !options.scene.empty() || options.panel;
    if (options.headingDegrees) {
        item.heading = *options.headingDegrees * kRadiansPerDegree;
    }
    if (options.pitchDegrees || !keepCamera) {
        item.pitch = options.pitchDegrees.value_or(kDefaultPitchDegrees) * kRadiansPerDegree;
    }
    if (options.bankDegrees) {
        item.bank = *options.bankDegrees * kRadiansPerDegree;
    }
    if (options.fovDegrees || !keepCamera) {
        camera.setValue(kFovChannel,
                        options.fovDegrees.value_or(kDefaultFovDegrees) * kRadiansPerDegree);
    }
    if (options.hShift) {
        camera.setValue(kHShiftChannel, *options.hShift);
    }
    if (options.vShift) {
        camera.setValue(kVShiftChannel, *options.vShift);
    }
    for (const KeyOption &key : options.keys) {
        const double scale = ChannelIsAngle(key.channel) ? kRadiansPerDegree : 1.0;
        camera.setKey(key.channel, key.time, key.value * scale);
    }
    camera.setTime(options.time.value_or(camera.host().time()));
}

// Settings that cannot do what the user meant are rendered as the camera defines them, with a
// word on stderr: a time with nothing keyed, values outside the settings panel's ranges.
void WarnAboutSettings(const RenderOptions &options, minihost::Session &session,
                       minihost::Camera &camera) {
    if (options.time) {
        bool keyed = false;
        for (const minihost::HostParam *param : camera.item().group.channels) {
            keyed = keyed || !param->envelope.keys().empty();
        }
        if (!keyed) {
            Warn("--time " + Shown(*options.time) +
                 " changes nothing: no channel of the camera is keyed");
        }
    }
    const minihost::RecordedPanel *panel = nullptr;
    try {
        panel = &camera.openPanel();
    } catch (const minihost::HostError &) {
        return; // a host without the panel toolkit states no ranges
    }
    for (const minihost::ControlRange &range : session.toolkit().ranges(*panel)) {
        const CameraParamRow *row = ParamForPanelElement(range.id);
        if (!row) {
            continue;
        }
        std::vector<double> values; // in the camera's units
        const std::string channel = row->channelName;
        if (channel == kFovChannel && options.fovDegrees) {
            values.push_back(*options.fovDegrees * kRadiansPerDegree);
        } else if (channel == kHShiftChannel && options.hShift) {
            values.push_back(*options.hShift);
        } else if (channel == kVShiftChannel && options.vShift) {
            values.push_back(*options.vShift);
        }
        for (const KeyOption &key : options.keys) {
            if (key.channel == channel) {
                values.push_back(key.value * (ChannelIsAngle(channel) ? kRadiansPerDegree : 1.0));
            }
        }
        for (double value : values) {
            const double shown = value * range.display.scale;
            if ((range.minimum && shown < *range.minimum) ||
                (range.maximum && shown > *range.maximum)) {
                std::string limits;
                if (range.minimum) {
                    limits = "minimum " + Shown(*range.minimum) + range.display.unit;
                }
                if (range.maximum) {
                    limits += (limits.empty() ? "" : ", ") + std::string("maximum ") +
                              Shown(*range.maximum) + range.display.unit;
                }
                Warn(channel + " " + Shown(shown) + range.display.unit +
                     " is outside the range of the settings panel's " + range.label + " (" +
                     limits + "); rendering it as the camera defines it");
                break;
            }
        }
    }
}

int Run(const RenderOptions &options) {
    minihost::HostFaults faults;
    faults.missingServices.insert(options.hostWithout.begin(), options.hostWithout.end());
    minihost::Session session(options.module, kServerName, faults);
    session.activateHandlerOrThrow();
    minihost::Camera &camera = session.newCamera();
    if (!options.scene.empty()) {
        camera.load(minihost::ReadSceneFile(options.scene), options.scene);
    }
    ApplySettings(options, camera);
    WarnAboutSettings(options, session, camera);
    if (options.panel) {
        std::fputs(camera.panelText().c_str(), stdout);
        return 0;
    }
    const std::vector<Frame> frames = FramesOf(options, camera.host().time());
    std::vector<std::string> names;
    for (const Frame &frame : frames) {
        names.push_back(frame.out);
    }
    CheckOutputsAreNotInputs(options, names);

    // The outputs are opened before their render, so that a place that cannot be written
    // fails before a long render, and replaced after it, so that nothing is written unless
    // everything worked. The scene is saved once every frame is done.
    std::unique_ptr<minihost::OutputFile> sceneFile;
    if (!options.saveScene.empty()) {
        sceneFile = std::make_unique<minihost::OutputFile>(options.saveScene);
    }
    std::unique_ptr<minihost::OutputFile> firstImage =
        std::make_unique<minihost::OutputFile>(frames.front().out);
    const OutputFormat format = FormatFor(options.out);
    const int bits = options.bits.value_or(format.bits.front());
    const std::unique_ptr<Environment> environment =
        options.environment.empty()
            ? MakeGridSky(options.colour)
            : LoadPanorama(options.environment, options.colour, options.filter);

    RenderSettings settings{options.width, options.height, options.samples, options.threads,
                            options.mask};
    if (settings.threads == 0) {
        settings.threads = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    }
    ProgressBar bar;
    const double count = static_cast<double>(frames.size());
    double seconds = 0.0;
    int threads = settings.threads;
    for (size_t i = 0; i < frames.size(); ++i) {
        const Frame &frame = frames[i];
        if (options.frames) {
            camera.setTime(frame.time);
        }
        std::unique_ptr<minihost::OutputFile> image =
            i == 0 ? std::move(firstImage) : std::make_unique<minihost::OutputFile>(frame.out);
        // Of each frame's share of the bar, the render takes the first four fifths.
        const RenderResult result = Render(camera, *environment, settings, [&](double done) {
            bar.update("rendering " + frame.out, (i + 0.8 * done) / count);
        });
        if (result.threads < threads) {
            threads = result.threads;
            Warn("the system gave only " + std::to_string(result.threads) + " of the " +
                 std::to_string(settings.threads) + " render threads asked for; rendering with " +
                 std::to_string(result.threads));
        }
        seconds += result.seconds;
        WriteImage(image->stream(), image->writingPath(), frame.out, result.image, format, bits,
                   options.colour, threads, [&](double done) {
                       bar.update("writing " + frame.out, (i + 0.8 + 0.2 * done) / count);
                   });
        image->commit();
    }
    if (sceneFile) {
        sceneFile->write(minihost::FormatScene(camera.save()));
        sceneFile->commit();
    }
    bar.finish();

    const double rays = count * options.width * options.height * options.samples * options.samples;
    const std::string what =
        options.frames ? std::to_string(frames.size()) + " frames of " : std::string();
    std::printf("%s: %s%dx%d, %dx%d samples per pixel, %.0f rays in %.2f s (%.1f million "
                "rays/s, %d threads)\n",
                options.out.c_str(), what.c_str(), options.width, options.height, options.samples,
                options.samples, rays, seconds, rays / std::max(seconds, 1e-9) / 1e6, threads);
    return 0;
}

} // namespace

int main(int argc, char **argv) {
    minihost::RemoveTemporariesOnSignals();
    // A reader that goes away or a file-size limit is a write error to report, not a reason to
    // die without a word.
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGXFSZ, SIG_IGN);
    RenderOptions options;
    try {
        options =
            ParseOptions(std::vector<std::string>(argv + 1, argv + argc), ORVALEN_DEFAULT_MODULE);
    } catch (const UsageError &e) {
        std::fprintf(stderr, "orvalen-render: %s\n", e.what());
        return 2;
    }
    if (options.help) {
        std::fputs(HelpText().c_str(), stdout);
        return 0;
    }
    try {
        return Run(options);
    } catch (const UsageError &e) {
        std::fprintf(stderr, "orvalen-render: %s\n", e.what());
        return 2;
    } catch (const minihost::HostError &e) {
        std::fprintf(stderr, "orvalen-render: %s\n", e.what());
    } catch (const ImageError &e) {
        std::fprintf(stderr, "orvalen-render: %s\n", e.what());
    } catch (const RenderError &e) {
        std::fprintf(stderr, "orvalen-render: %s\n", e.what());
    } catch (const std::bad_alloc &) {
        std::fprintf(stderr, "orvalen-render: out of memory\n");
    }
    return 1;
}

// orvalen-render: renders what an Orvalen fisheye camera sees, through the stand-in host.

#include "camera/channel_names.h"
#include "environment.h"
#include "minihost/scene_file.h"
#include "minihost/session.h"
#include "module/names.h"
#include "options.h"
#include "png_io.h"
#include "render.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <new>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

constexpr double kRadiansPerDegree = 3.14159265358979323846 / 180.0;

// A bar on stderr once a render has taken a moment, only when a person is watching it.
class ProgressBar {
  public:
    ProgressBar() : shown_(isatty(STDERR_FILENO) != 0), start_(Clock::now()) {}
    void update(double fraction) {
        if (!shown_ || Clock::now() - start_ < std::chrono::milliseconds(500)) {
            return;
        }
        const int width = 40;
        const int filled = static_cast<int>(fraction * width);
        std::fprintf(stderr, "\r[%s%s] %3d%%", std::string(filled, '#').c_str(),
                     std::string(width - filled, ' ').c_str(), static_cast<int>(fraction * 100));
        drawn_ = true;
    }
    void finish() {
        if (drawn_) {
            std::fprintf(stderr, "\r%60s\r", "");
        }
    }

  private:
    using Clock = std::chrono::steady_clock;
    bool shown_;
    bool drawn_ = false;
    Clock::time_point start_;
};

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
    if (options.panel) {
        std::fputs(camera.panelText().c_str(), stdout);
        return 0;
    }

    const std::unique_ptr<Environment> environment =
        options.environment.empty() ? MakeGridSky() : LoadPanorama(options.environment);
    if (!options.saveScene.empty()) {
        minihost::WriteSceneFile(options.saveScene, camera.save());
    }

    RenderSettings settings{options.width, options.height, options.samples, options.threads};
    if (settings.threads == 0) {
        settings.threads = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    }
    ProgressBar bar;
    const auto start = std::chrono::steady_clock::now();
    const Image image =
        Render(camera, *environment, settings, [&](double done) { bar.update(done); });
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    bar.finish();
    WritePng(options.out, image, options.bits);

    const double rays =
        static_cast<double>(options.width) * options.height * options.samples * options.samples;
    std::printf("%s: %dx%d, %dx%d samples per pixel, %.0f rays in %.2f s (%.1f million rays/s, "
                "%d threads)\n",
                options.out.c_str(), options.width, options.height, options.samples,
                options.samples, rays, seconds, rays / std::max(seconds, 1e-9) / 1e6,
                settings.threads);
    return 0;
}

} // namespace

int main(int argc, char **argv) {
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
    } catch (const PngError &e) {
        std::fprintf(stderr, "orvalen-render: %s\n", e.what());
    } catch (const std::bad_alloc &) {
        std::fprintf(stderr, "orvalen-render: out of memory for a %dx%d image\n", options.width,
                     options.height);
    }
    return 1;
}

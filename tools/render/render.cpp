#include "render.h"

#include "minihost/camera_access.h"

#include <atomic>
#include <chrono>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

namespace {

constexpr double kFilmHeight = 1.0;

// The image circle: film positions whose shifted distance from the centre is at most half
// the film height look at most half the field of view off axis.
struct ImageCircle {
    double shiftX, shiftY; // the shifts in film units
    double radiusSquared;
    bool contains(double filmX, double filmY) const {
        const double x = filmX + shiftX, y = filmY + shiftY;
        return x * x + y * y <= radiusSquared;
    }
};

void RenderRows(const host::CameraHandlerRecord &handler, void *instance,
                const host::CameraAccess &shared, const Environment &environment,
                const RenderSettings &settings, const ImageCircle &circle,
                std::atomic<int> *nextRow, std::atomic<int> *rowsDone, Image *image) {
    // Each thread hands the camera a record of its own, as the host's render threads do.
    const host::CameraAccess access = shared;
    const int n = settings.samples;
    const double weight = 1.0 / (n * n);
    for (int y; (y = nextRow->fetch_add(1)) < settings.height;) {
        for (int x = 0; x < settings.width; ++x) {
            double sum[3] = {0, 0, 0};
            int covered = 0;
            for (int sy = 0; sy < n; ++sy) {
                for (int sx = 0; sx < n; ++sx) {
                    // Film coordinates: (0, 0) at the centre, y up, the film 1 unit high.
                    const double u = (x + (sx + 0.5) / n) / settings.width;
                    const double v = (y + (sy + 0.5) / n) / settings.height;
                    const double filmX = (u - 0.5) * access.filmWidth;
                    const double filmY = (0.5 - v) * access.filmHeight;
                    if (settings.mask && !circle.contains(filmX, filmY)) {
                        continue;
                    }
                    ++covered;
                    host::CameraRay ray;
                    handler.evaluate(instance, filmX, filmY, &ray, &access);
                    const Rgb c =
                        environment.sample(ray.direction[0], ray.direction[1], ray.direction[2]);
                    sum[0] += c.r;
                    sum[1] += c.g;
                    sum[2] += c.b;
                }
            }
            // Outside the circle a sample is black and transparent: the colour stays
            // premultiplied by the coverage.
            float *out = image->pixel(x, y);
            for (int c = 0; c < 3; ++c) {
                out[c] = static_cast<float>(sum[c] * weight);
            }
            if (settings.mask) {
                out[3] = static_cast<float>(covered * weight);
            }
        }
        rowsDone->fetch_add(1);
    }
}

} // namespace

RenderResult Render(minihost::Camera &camera, const Environment &environment,
                    const RenderSettings &settings, const Progress &progress) {
    RenderResult result;
    Image &image = result.image;
    image.width = settings.width;
    image.height = settings.height;
    image.channels = settings.mask ? 4 : 3;
    const size_t samples = static_cast<size_t>(settings.width) * settings.height * image.channels;
    try {
        image.pixels.assign(samples, 0.0f);
    } catch (const std::bad_alloc &) {
        throw RenderError("out of memory for the " + std::to_string(settings.width) + "x" +
                          std::to_string(settings.height) + " image (" +
                          std::to_string(samples * sizeof(float) / (1024 * 1024)) + " MiB)");
    }
    const double filmWidth = kFilmHeight * settings.width / settings.height;
    const host::CameraAccess access = minihost::AccessFor(camera.item(), filmWidth, kFilmHeight);
    // The preview's off-centre terms are the shifts in film units, as the camera holds them.
    const host::Matrix4 preview = camera.preview(access);
    const ImageCircle circle{preview.m[8], preview.m[9], kFilmHeight * kFilmHeight / 4};

    const auto start = std::chrono::steady_clock::now();
    std::atomic<int> nextRow{0};
    std::atomic<int> rowsDone{0};
    std::vector<std::thread> workers;
    for (int t = 1; t < settings.threads; ++t) {
        try {
            workers.emplace_back(RenderRows, std::cref(camera.handler()), camera.instance(),
                                 std::cref(access), std::cref(environment), std::cref(settings),
                                 std::cref(circle), &nextRow, &rowsDone, &image);
        } catch (const std::system_error &) {
            break; // the system has no more threads to give: render with those it gave
        }
    }
    result.threads = static_cast<int>(workers.size()) + 1;
    std::atomic<bool> finished{false};
    std::thread reporter;
    if (progress) {
        try {
            reporter = std::thread([&] {
                while (!finished.load()) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(100));
                    progress(static_cast<double>(rowsDone.load()) / settings.height);
                }
            });
        } catch (const std::system_error &) {
            // No thread for the progress bar: the render goes on without one.
        }
    }
    RenderRows(camera.handler(), camera.instance(), access, environment, settings, circle, &nextRow,
               &rowsDone, &image);
    for (std::thread &worker : workers) {
        worker.join();
    }
    result.seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    finished = true;
    if (reporter.joinable()) {
        reporter.join();
    }
    return result;
}

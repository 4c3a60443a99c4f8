#include "render.h"

#include "minihost/camera_access.h"

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace {

constexpr double kFilmHeight = 1.0;

void RenderRows(const host::CameraHandlerRecord &handler, void *instance,
                const host::CameraAccess &shared, const Environment &environment,
                const RenderSettings &settings, std::atomic<int> *nextRow,
                std::atomic<int> *rowsDone, Image *image) {
    // Each thread hands the camera a record of its own, as the host's render threads do.
    const host::CameraAccess access = shared;
    const int n = settings.samples;
    const double weight = 1.0 / (n * n);
    for (int y; (y = nextRow->fetch_add(1)) < settings.height;) {
        for (int x = 0; x < settings.width; ++x) {
            double sum[3] = {0, 0, 0};
            for (int sy = 0; sy < n; ++sy) {
                for (int sx = 0; sx < n; ++sx) {
                    // Film coordinates: (0, 0) at the centre, y up, the film 1 unit high.
                    const double u = (x + (sx + 0.5) / n) / settings.width;
                    const double v = (y + (sy + 0.5) / n) / settings.height;
                    const double filmX = (u - 0.5) * access.filmWidth;
                    const double filmY = (0.5 - v) * access.filmHeight;
                    host::CameraRay ray;
                    handler.evaluate(instance, filmX, filmY, &ray, &access);
                    const Rgb c =
                        environment.sample(ray.direction[0], ray.direction[1], ray.direction[2]);
                    sum[0] += c.r;
                    sum[1] += c.g;
                    sum[2] += c.b;
                }
            }
            float *out = image->pixel(x, y);
            for (int c = 0; c < 3; ++c) {
                out[c] = static_cast<float>(sum[c] * weight);
            }
        }
        rowsDone->fetch_add(1);
    }
}

} // namespace

Image Render(minihost::Camera &camera, const Environment &environment,
             const RenderSettings &settings, const Progress &progress) {
    Image image;
    image.width = settings.width;
    image.height = settings.height;
    image.rgb.assign(static_cast<size_t>(settings.width) * settings.height * 3, 0.0f);
    const double filmWidth = kFilmHeight * settings.width / settings.height;
    const host::CameraAccess access = minihost::AccessFor(camera.item(), filmWidth, kFilmHeight);

    std::atomic<int> nextRow{0};
    std::atomic<int> rowsDone{0};
    std::vector<std::thread> workers;
    for (int t = 1; t < settings.threads; ++t) {
        workers.emplace_back(RenderRows, std::cref(camera.handler()), camera.instance(),
                             std::cref(access), std::cref(environment), std::cref(settings),
                             &nextRow, &rowsDone, &image);
    }
    std::atomic<bool> finished{false};
    std::thread reporter([&] {
        while (!finished.load()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            if (progress) {
                progress(static_cast<double>(rowsDone.load()) / settings.height);
            }
        }
    });
    RenderRows(camera.handler(), camera.instance(), access, environment, settings, &nextRow,
               &rowsDone, &image);
    for (std::thread &worker : workers) {
        worker.join();
    }
    finished = true;
    reporter.join();
    return image;
}

#include "camera_fixture.h"

#include <atomic>
#include <cstring>
#include <thread>
#include <vector>

namespace {

using ThreadTest = CameraTest;

constexpr int kSide = 64;

std::vector<host::CameraRay> Grid(const host::CameraHandlerRecord &handler, void *camera,
                                  const host::CameraAccess &access) {
    std::vector<host::CameraRay> rays(kSide * kSide);
    for (int j = 0; j < kSide; ++j) {
        for (int i = 0; i < kSide; ++i) {
            const double x = ((i + 0.5) / kSide - 0.5) * access.filmWidth;
            const double y = (0.5 - (j + 0.5) / kSide) * access.filmHeight;
            handler.evaluate(camera, x, y, &rays[j * kSide + i], &access);
        }
    }
    return rays;
}

TEST_F(ThreadTest, ManyThreadsOneCameraSameRays) {
    SetCamera(3.0, 0.1, -0.05);
    access.filmWidth = 1.5;
    access.filmHeight = 1.0;
    SetFrame({1, 2, 3}, {0, 0.6, 0.8}, {0, 0.8, -0.6});
    const std::vector<host::CameraRay> reference = Grid(handler.record, camera, access);

    constexpr int kThreads = 4;
    std::vector<std::vector<host::CameraRay>> results(kThreads);
    std::atomic<bool> rendering{true};
    std::thread previewer([&] {
        // The preview writes the film size into the instance while rays are traced.
        host::CameraAccess other = access;
        int round = 0;
        while (rendering.load()) {
            other.filmWidth = 1.0 + (round++ % 7);
            host::Matrix4 matrix;
            handler.record.preview(camera, &matrix, &other);
        }
    });
    std::vector<std::thread> tracers;
    for (int t = 0; t < kThreads; ++t) {
        // Each thread has a record of its own, as the host's render threads do.
        tracers.emplace_back([&, t] {
            const host::CameraAccess own = access;
            results[t] = Grid(handler.record, camera, own);
        });
    }
    for (std::thread &tracer : tracers) {
        tracer.join();
    }
    rendering = false;
    previewer.join();

    for (int t = 0; t < kThreads; ++t) {
        ASSERT_EQ(results[t].size(), reference.size());
        EXPECT_EQ(std::memcmp(results[t].data(), reference.data(),
                              reference.size() * sizeof(host::CameraRay)),
                  0)
            << "thread " << t;
    }
}

} // namespace

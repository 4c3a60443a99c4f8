// Side-by-side cost of the module's ray against the least the same fisheye can cost, and how
// the ray scales from one render thread to two. Ratios only, from rounds that alternate the
// two: absolute times on a shared machine say little.

#include "camera/camera_params.h"
#include "counting_malloc.h"
#include "minihost/camera_access.h"
#include "minihost/session.h"
#include "module/names.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

struct FilmPosition {
    double x, y;
};

// A camera turned away from every world axis, with both shifts set: no term of the ray
// vanishes for either side.
struct Setup {
    std::unique_ptr<minihost::Session> session;
    minihost::Camera *camera = nullptr;
    host::CameraAccess access{};
    std::vector<FilmPosition> positions;
    double fovRadians = 3.0;
    double hShift = 0.07;
    double vShift = -0.04;
};

Setup *g_setup = nullptr;

constexpr int kGridSide = 64;
constexpr int kRounds = 7;

void BuildSetup(Setup &s) {
    s.session = std::make_unique<minihost::Session>(ORVALEN_MODULE_PATH, kServerName);
    s.session->activateHandlerOrThrow();
    s.camera = &s.session->newCamera();
    s.camera->setValue(kFovChannel, s.fovRadians);
    s.camera->setValue(kHShiftChannel, s.hShift);
    s.camera->setValue(kVShiftChannel, s.vShift);
    s.camera->setTime(0.0);
    minihost::HostItem &item = s.camera->item();
    item.heading = 0.7;
    item.pitch = -0.4;
    item.bank = 0.25;
    item.position[0] = 1.0;
    s.access = minihost::AccessFor(item, 1.5, 1.0);
    for (int j = 0; j < kGridSide; ++j) {
        for (int i = 0; i < kGridSide; ++i) {
            s.positions.push_back({((i + 0.5) / kGridSide - 0.5) * s.access.filmWidth,
                                   (0.5 - (j + 0.5) / kGridSide) * s.access.filmHeight});
        }
    }
}

void ModuleRay(benchmark::State &state) {
    const Setup &s = *g_setup;
    const host::CameraHandlerRecord &handler = s.camera->handler();
    void *instance = s.camera->instance();
    const host::CameraAccess access = s.access;
    host::CameraRay ray;
    for (auto _ : state) {
        for (const FilmPosition &p : s.positions) {
            handler.evaluate(instance, p.x, p.y, &ray, &access);
            benchmark::DoNotOptimize(ray);
        }
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(s.positions.size()));
}

// The least an equidistant fisheye costs for an orthonormal frame: one square root and one
// sine-cosine pair, the polar angle's cosine and sine read off the shifted position.
void LimitRay(benchmark::State &state) {
    const Setup &s = *g_setup;
    const host::CameraAccess access = s.access;
    const double *up = access.upAxis;
    const double *view = access.viewAxis;
    double direction[3];
    for (auto _ : state) {
        for (const FilmPosition &p : s.positions) {
            const double x = p.x + s.hShift * access.filmWidth;
            const double y = p.y + s.vShift * access.filmHeight;
            const double radius = std::sqrt(x * x + y * y);
            const double offAxis = radius / access.filmHeight * s.fovRadians;
            const double cosPolar = x / radius;
            const double sinPolar = y / radius;
            const double right[3] = {up[1] * view[2] - up[2] * view[1],
                                     up[2] * view[0] - up[0] * view[2],
                                     up[0] * view[1] - up[1] * view[0]};
            const double c = std::cos(offAxis);
            const double sn = std::sin(offAxis);
            for (int k = 0; k < 3; ++k) {
                direction[k] = c * view[k] + sn * (cosPolar * right[k] + sinPolar * up[k]);
            }
            benchmark::DoNotOptimize(direction);
        }
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(s.positions.size()));
}

std::string RoundName(const char *what, int round) {
    return std::string(what) + "/round:" + std::to_string(round);
}

// Keeps the console output and remembers each run's rays per second.
class RatioReporter : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run> &runs) override {
        for (const Run &run : runs) {
            auto rate = run.counters.find("items_per_second");
            if (rate != run.counters.end()) {
                raysPerSecond[run.benchmark_name()] = rate->second.value;
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> raysPerSecond;
};

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? NAN : values[values.size() / 2];
}

} // namespace

int main(int argc, char **argv) {
    benchmark::Initialize(&argc, argv);
    Setup setup;
    try {
        BuildSetup(setup);
    } catch (const minihost::HostError &e) {
        std::fprintf(stderr, "ray_bench: %s\n", e.what());
        return 1;
    }
    g_setup = &setup;

    // Module and limit alternate, round after round, so that a change in the machine's load
    // touches both sides of a ratio alike.
    for (int round = 1; round <= kRounds; ++round) {
        benchmark::RegisterBenchmark(RoundName("module_ray", round).c_str(), ModuleRay);
        benchmark::RegisterBenchmark(RoundName("limit_ray", round).c_str(), LimitRay);
    }
    for (int round = 1; round <= kRounds; ++round) {
        benchmark::RegisterBenchmark(RoundName("module_ray_threads", round).c_str(), ModuleRay)
            ->Threads(1)
            ->Threads(2)
            ->UseRealTime();
    }
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);

    auto &rates = reporter.raysPerSecond;
    std::vector<double> costRatios;
    std::vector<double> threadRatios;
    std::vector<double> moduleNs;
    std::vector<double> limitNs;
    for (int round = 1; round <= kRounds; ++round) {
        const std::string module = RoundName("module_ray", round);
        const std::string limit = RoundName("limit_ray", round);
        if (rates.count(module) && rates.count(limit)) {
            moduleNs.push_back(1e9 / rates[module]);
            limitNs.push_back(1e9 / rates[limit]);
            costRatios.push_back(rates[limit] / rates[module]);
        }
        const std::string threads = RoundName("module_ray_threads", round) + "/real_time/threads:";
        if (rates.count(threads + "1") && rates.count(threads + "2")) {
            threadRatios.push_back(rates[threads + "2"] / rates[threads + "1"]);
        }
    }
    if (!costRatios.empty()) {
        std::printf("module ray:   %.1f ns per ray (median of %zu rounds)\n", Median(moduleNs),
                    moduleNs.size());
        std::printf("limit:        %.1f ns per ray\n", Median(limitNs));
        std::printf("module / limit: %.2f (median of the rounds' ratios)\n", Median(costRatios));
    }
    if (!threadRatios.empty()) {
        std::printf("two threads / one thread, rays per second: %.2f\n", Median(threadRatios));
    }

    // A camera's creation allocates its record: proof that the counter sees the module.
    const host::InstanceFuncs &inst = setup.session->handler().inst;
    minihost::Host &host = setup.session->host();
    const std::size_t beforeCreate = AllocationCount();
    const char *error = nullptr;
    void *probe = inst.create(nullptr, host.itemId(host.addItem("Probe")), &error);
    const std::size_t createAllocations = AllocationCount() - beforeCreate;
    inst.destroy(probe);
    if (createAllocations == 0) {
        std::fprintf(stderr, "ray_bench: the allocation counter does not see the module\n");
        return 1;
    }

    host::CameraRay ray;
    const std::size_t before = AllocationCount();
    constexpr int kCalls = 100000;
    for (int i = 0; i < kCalls; ++i) {
        const FilmPosition &p = setup.positions[i % setup.positions.size()];
        setup.camera->handler().evaluate(setup.camera->instance(), p.x, p.y, &ray, &setup.access);
        benchmark::DoNotOptimize(ray);
    }
    const std::size_t allocations = AllocationCount() - before;
    std::printf("allocations in %d ray calls: %zu\n", kCalls, allocations);
    return allocations == 0 ? 0 : 1;
}

// Side-by-side cost of the module's ray against the same fisheye written directly, and how
// the ray scales from one render thread to two. Ratios only: absolute times on a shared
// machine say little.

#include "counting_malloc.h"
#include "host/module_descriptor.h"
#include "minihost/host.h"
#include "minihost/module_file.h"
#include "module/names.h"

#include <benchmark/benchmark.h>

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

struct Setup {
    minihost::Host host;
    std::unique_ptr<minihost::ModuleFile> module;
    minihost::HandlerRecords handler;
    void *camera = nullptr;
    host::CameraAccess access{};
    std::vector<FilmPosition> positions;
    double fov = 3.0;
};

Setup *g_setup = nullptr;

void BuildSetup(Setup &s) {
    s.module = std::make_unique<minihost::ModuleFile>(ORVALEN_MODULE_PATH);
    minihost::ActivateOrThrow(s.module->server(host::kCameraHandlerClass, kServerName), s.host,
                              host::kCameraHandlerVersion, &s.handler.record);
    const char *error = nullptr;
    minihost::HostItem *item = s.host.addItem("Camera");
    s.camera = s.handler.inst.create(nullptr, s.host.itemId(item), &error);
    double fov = s.fov;
    s.host.paramService().setValue(s.host.handle(s.host.channel(item, "FOV")), &fov);
    s.handler.record.newTime(s.camera, 0, 0.0);
    s.access.upAxis[1] = 1.0;
    s.access.viewAxis[2] = 1.0;
    s.access.filmWidth = 1.5;
    s.access.filmHeight = 1.0;
    for (int j = 0; j < 32; ++j) {
        for (int i = 0; i < 32; ++i) {
            s.positions.push_back({((i + 0.5) / 32 - 0.5) * 1.5, (0.5 - (j + 0.5) / 32)});
        }
    }
}

void ModuleRay(benchmark::State &state) {
    const Setup &s = *g_setup;
    const host::CameraAccess access = s.access;
    host::CameraRay ray;
    for (auto _ : state) {
        for (const FilmPosition &p : s.positions) {
            s.handler.record.evaluate(s.camera, p.x, p.y, &ray, &access);
            benchmark::DoNotOptimize(ray);
        }
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(s.positions.size()));
}

// The equidistant fisheye for the unit frame (up +Y, view +Z), straight from the geometry.
void ClosedFormRay(benchmark::State &state) {
    const Setup &s = *g_setup;
    const double height = s.access.filmHeight;
    double direction[3];
    for (auto _ : state) {
        for (const FilmPosition &p : s.positions) {
            const double offAxis = std::sqrt(p.x * p.x + p.y * p.y) / height * s.fov;
            const double polar = std::atan2(p.y, p.x);
            const double across = std::sin(offAxis);
            direction[0] = across * std::cos(polar);
            direction[1] = across * std::sin(polar);
            direction[2] = std::cos(offAxis);
            benchmark::DoNotOptimize(direction);
        }
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(s.positions.size()));
}

BENCHMARK(ModuleRay)->Name("module_ray");
BENCHMARK(ClosedFormRay)->Name("closed_form_ray");
BENCHMARK(ModuleRay)->Name("module_ray_threads")->Threads(1)->Threads(2)->UseRealTime();

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

    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);

    auto &rates = reporter.raysPerSecond;
    auto nsPerRay = [&](const std::string &name) { return 1e9 / rates[name]; };
    if (rates.count("module_ray") && rates.count("closed_form_ray")) {
        std::printf("module ray:      %.1f ns per ray\n", nsPerRay("module_ray"));
        std::printf("closed form:     %.1f ns per ray\n", nsPerRay("closed_form_ray"));
        std::printf("module / closed form: %.2f\n",
                    nsPerRay("module_ray") / nsPerRay("closed_form_ray"));
    }
    const std::string one = "module_ray_threads/real_time/threads:1";
    const std::string two = "module_ray_threads/real_time/threads:2";
    if (rates.count(one) && rates.count(two)) {
        std::printf("two threads / one thread, rays per second: %.2f\n", rates[two] / rates[one]);
    }

    // A camera's creation allocates its record: proof that the counter sees the module.
    const std::size_t beforeCreate = AllocationCount();
    const char *error = nullptr;
    void *probe =
        setup.handler.inst.create(nullptr, setup.host.itemId(setup.host.addItem("Probe")), &error);
    const std::size_t createAllocations = AllocationCount() - beforeCreate;
    setup.handler.inst.destroy(probe);
    if (createAllocations == 0) {
        std::fprintf(stderr, "ray_bench: the allocation counter does not see the module\n");
        return 1;
    }

    host::CameraRay ray;
    const std::size_t before = AllocationCount();
    constexpr int kCalls = 100000;
    for (int i = 0; i < kCalls; ++i) {
        const FilmPosition &p = setup.positions[i % setup.positions.size()];
        setup.handler.record.evaluate(setup.camera, p.x, p.y, &ray, &setup.access);
        benchmark::DoNotOptimize(ray);
    }
    const std::size_t allocations = AllocationCount() - before;
    std::printf("allocations in %d ray calls: %zu\n", kCalls, allocations);
    setup.handler.inst.destroy(setup.camera);
    return allocations == 0 ? 0 : 1;
}

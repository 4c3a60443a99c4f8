// Feeds arbitrary bytes as a scene file through the stand-in host's reader into the camera's
// load, then drives the loaded camera: a time update, rays, a save whose output must read back.

#include "host/module_descriptor.h"
#include "minihost/host.h"
#include "minihost/module_file.h"
#include "minihost/scene_file.h"
#include "minihost/scene_states.h"
#include "module/names.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

namespace {

struct Harness {
    minihost::Host host;
    std::unique_ptr<minihost::ModuleFile> module;
    minihost::HandlerRecords handler;
    minihost::HostItem *item = nullptr;
};

Harness &Get() {
    static Harness *harness = [] {
        Harness *h = new Harness;
        h->module = std::make_unique<minihost::ModuleFile>(ORVALEN_MODULE_PATH);
        minihost::ActivateOrThrow(h->module->server(host::kCameraHandlerClass, kServerName),
                                  h->host, host::kCameraHandlerVersion, &h->handler.record);
        h->item = h->host.addItem("Camera");
        return h;
    }();
    return *harness;
}

void Check(bool ok, const char *what) {
    if (!ok) {
        std::fprintf(stderr, "scene_fuzz: %s\n", what);
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    Harness &h = Get();
    minihost::Scene scene;
    try {
        scene = minihost::ParseScene(std::string(reinterpret_cast<const char *>(data), size),
                                     "fuzz.scene");
    } catch (const minihost::HostError &) {
        return 0;
    }
    h.host.log.clear();
    for (size_t c = 0; c < scene.cameras.size() && c < 4; ++c) {
        const char *error = nullptr;
        void *camera = h.handler.inst.create(nullptr, h.host.itemId(h.item), &error);
        Check(camera != nullptr, "camera not created");
        try {
            minihost::LoadCamera(h.host, h.handler.inst, camera, scene.cameras[c], "fuzz.scene");
        } catch (const minihost::HostError &) {
            // A refused load is an answer; the camera must still work.
        }
        h.host.setTime(scene.time);
        h.handler.record.newTime(camera, 0, scene.time);
        host::CameraAccess access{};
        access.upAxis[1] = 1.0;
        access.viewAxis[2] = 1.0;
        access.filmWidth = 1.5;
        access.filmHeight = 1.0;
        for (double x : {-0.75, 0.0, 0.3}) {
            host::CameraRay ray;
            h.handler.record.evaluate(camera, x, 0.5, &ray, &access);
            for (double d : ray.direction) {
                Check(std::isfinite(d), "ray direction not finite");
            }
        }
        host::Matrix4 matrix;
        h.handler.record.preview(camera, &matrix, &access);
        minihost::Scene saved;
        saved.cameras.push_back(minihost::SaveCamera(h.host, h.handler.inst, camera, *h.item,
                                                     host::kCameraHandlerClass, kServerName));
        try {
            minihost::ParseScene(minihost::FormatScene(saved), "saved.scene");
        } catch (const minihost::HostError &e) {
            std::fprintf(stderr, "scene_fuzz: a saved scene does not read back: %s\n", e.what());
            std::abort();
        }
        h.handler.inst.destroy(camera);
        Check(h.host.misuse().empty(), h.host.misuse().empty() ? "" : h.host.misuse()[0].c_str());
    }
    return 0;
}

// Feeds arbitrary bytes as a scene file through the stand-in host's reader into the camera's
// load, then drives the loaded camera: a time update, rays, a save whose output must read back.

#include "host/module_descriptor.h"
#include "minihost/scene_file.h"
#include "minihost/scene_states.h"
#include "minihost/session.h"
#include "module/names.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

namespace {

// One session for the whole run: loading the module for every input would bury the load.
minihost::Session &Get() {
    static minihost::Session *session = [] {
        auto *made = new minihost::Session(ORVALEN_MODULE_PATH, kServerName);
        made->activateHandlerOrThrow();
        return made;
    }();
    return *session;
}

void Check(bool ok, const char *what) {
    if (!ok) {
        std::fprintf(stderr, "scene_fuzz: %s\n", what);
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    minihost::Session &session = Get();
    minihost::Host &host = session.host();
    minihost::Scene scene;
    try {
        scene = minihost::ParseScene(std::string(reinterpret_cast<const char *>(data), size),
                                     "fuzz.scene");
    } catch (const minihost::HostError &) {
        return 0;
    }
    host.log.clear();
    for (size_t c = 0; c < scene.cameras.size() && c < 4; ++c) {
        minihost::Camera *camera = nullptr;
        try {
            camera = &session.newCamera();
        } catch (const minihost::HostError &) {
            Check(false, "camera not created");
        }
        try {
            minihost::LoadCamera(host, session.handler().inst, camera->instance(), scene.cameras[c],
                                 "fuzz.scene");
        } catch (const minihost::HostError &) {
            // A refused load is an answer; the camera must still work.
        }
        camera->setTime(scene.time);
        host::CameraAccess access{};
        access.upAxis[1] = 1.0;
        access.viewAxis[2] = 1.0;
        access.filmWidth = 1.5;
        access.filmHeight = 1.0;
        for (double x : {-0.75, 0.0, 0.3}) {
            const host::CameraRay ray = camera->evaluate(x, 0.5, access);
            for (double d : ray.direction) {
                Check(std::isfinite(d), "ray direction not finite");
            }
        }
        camera->preview(access);
        try {
            minihost::ParseScene(minihost::FormatScene(camera->save()), "saved.scene");
        } catch (const minihost::HostError &e) {
            std::fprintf(stderr, "scene_fuzz: a saved scene does not read back: %s\n", e.what());
            std::abort();
        }
        session.destroyCamera(*camera);
        Check(host.misuse().empty(), host.misuse().empty() ? "" : host.misuse()[0].c_str());
    }
    return 0;
}

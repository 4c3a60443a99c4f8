#pragma once

#include "host/module_descriptor.h"
#include "minihost/host.h"
#include "minihost/module_file.h"
#include "minihost/scene_states.h"
#include "minihost/session.h"
#include "module/names.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

// A copy of the built module under a new name: loading it gives a second module with state of
// its own, as a second run of the host would.
std::string CopyOfModule();

// The five values a camera keeps, as it stores them in a scene (in single precision), read
// without leaving a trace in the host's call log.
inline std::vector<float> StoredValuesOf(minihost::Camera &camera) {
    minihost::Host &host = camera.host();
    const minihost::CallLog before = host.log;
    minihost::SaveStateRecorder recorder(host);
    EXPECT_EQ(camera.handler().inst->save(camera.instance(), recorder.state()), nullptr);
    host.log = before;
    if (recorder.items.empty() || recorder.items.back().kind != minihost::SceneDataItem::kFloats) {
        ADD_FAILURE() << "the camera stored no values";
        return {};
    }
    return recorder.items.back().floats;
}

// A fresh copy of the built module for every test, in a stand-in host of its own, driven only
// through the host's records.
class ModuleTest : public ::testing::Test {
  protected:
    void TearDown() override { EXPECT_TRUE(host.misuse().empty()) << Misuse(); }

    const host::ServerRecord &HandlerServer() const { return session.handlerServer(); }

    int ActivateHandler(int version = host::kCameraHandlerVersion) {
        return session.activateHandler(version);
    }

    // Activates the handler and fails the test unless that works.
    void ActivateHandlerOrFail() { ASSERT_EQ(ActivateHandler(), host::kActivateOk); }

    // Creates a camera instance on a new item; the session destroys it unless the test does.
    void *NewCamera(const std::string &itemName = "Camera") {
        try {
            minihost::Camera &made = session.newCamera(itemName);
            item = &made.item();
            return made.instance();
        } catch (const minihost::HostError &e) {
            ADD_FAILURE() << e.what();
            return nullptr;
        }
    }

    void DestroyCamera(void *instance) { session.destroyCamera(CameraOf(instance)); }

    // The session's camera behind an instance handle.
    minihost::Camera &CameraOf(void *instance) {
        minihost::Camera *found = session.camera(instance);
        EXPECT_NE(found, nullptr) << "no camera of the session has that instance";
        return *found;
    }

    std::vector<float> StoredValues(void *instance) { return StoredValuesOf(CameraOf(instance)); }

    std::string Misuse() const {
        std::string text;
        for (const std::string &line : host.misuse()) {
            text += line + "\n";
        }
        return text;
    }

    minihost::Session session{ORVALEN_MODULE_PATH, kServerName};
    minihost::Host &host = session.host();
    minihost::ModuleFile &module = session.module();
    minihost::HandlerRecords &handler = session.handler();
    minihost::HostItem *item = nullptr;
};

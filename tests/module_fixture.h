#pragma once

#include "camera/camera_instance.h"
#include "host/module_descriptor.h"
#include "minihost/host.h"
#include "minihost/module_file.h"
#include "module/names.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

// A copy of the built module under a new name: loading it gives a second module with state of
// its own, as a second run of the host would.
std::string CopyOfModule();

// Loads a fresh copy of the built module for every test, with a stand-in host of its own.
class ModuleTest : public ::testing::Test {
  protected:
    void SetUp() override { module = std::make_unique<minihost::ModuleFile>(ORVALEN_MODULE_PATH); }

    void TearDown() override {
        for (void *camera : cameras_) {
            handler.inst.destroy(camera);
        }
        EXPECT_TRUE(host.misuse().empty()) << Misuse();
    }

    const host::ServerRecord &HandlerServer() const {
        return module->server(host::kCameraHandlerClass, kServerName);
    }

    int ActivateHandler(int version = host::kCameraHandlerVersion) {
        return minihost::Activate(HandlerServer(), host, version, &handler.record);
    }

    // Activates the handler and fails the test unless that works.
    void ActivateHandlerOrFail() { ASSERT_EQ(ActivateHandler(), host::kActivateOk); }

    // Creates a camera instance on a new item; the fixture destroys it unless the test does.
    void *NewCamera(const std::string &itemName = "Camera") {
        item = host.addItem(itemName);
        const char *error = nullptr;
        void *camera = handler.inst.create(handler.inst.privateData, host.itemId(item), &error);
        EXPECT_NE(camera, nullptr) << (error ? error : "no error text");
        if (camera) {
            cameras_.push_back(camera);
        }
        return camera;
    }

    void DestroyCamera(void *camera) {
        for (auto it = cameras_.begin(); it != cameras_.end(); ++it) {
            if (*it == camera) {
                cameras_.erase(it);
                break;
            }
        }
        handler.inst.destroy(camera);
    }

    // The module's record behind an instance handle, for values no host operation shows.
    static CameraInstance &Instance(void *camera) { return *static_cast<CameraInstance *>(camera); }

    std::string Misuse() const {
        std::string text;
        for (const std::string &line : host.misuse()) {
            text += line + "\n";
        }
        return text;
    }

    minihost::Host host;
    std::unique_ptr<minihost::ModuleFile> module;
    minihost::HandlerRecords handler;
    minihost::HostItem *item = nullptr;

  private:
    std::vector<void *> cameras_;
};

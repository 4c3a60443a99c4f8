#include "camera/camera_params.h"
#include "camera_fixture.h"
#include "minihost/scene_file.h"
#include "minihost/scene_states.h"

#include <cstring>

namespace {

const char *ChannelOf(int index) {
    return kCameraParams[index].channelName;
}

class PersistenceTest : public CameraTest {
  protected:
    std::vector<minihost::SceneDataItem> Save(const char **error = nullptr) {
        minihost::SaveStateRecorder recorder(host);
        const char *result = handler.inst.save(camera, recorder.state());
        if (error) {
            *error = result;
        } else {
            EXPECT_EQ(result, nullptr) << result;
        }
        return recorder.items;
    }

    // The five values in the order of the camera's parameters.
    void SetValues(double fov, double h, double v, double direction, double angle) {
        const double values[] = {fov, h, v, direction, angle};
        for (int i = 0; i < kCameraParamCount; ++i) {
            Values().*kCameraParams[i].value = values[i];
        }
    }

    std::vector<double> ValuesNow() {
        std::vector<double> values;
        for (const CameraParamRow &row : kCameraParams) {
            values.push_back(Values().*row.value);
        }
        return values;
    }
};

TEST_F(PersistenceTest, FreshInstanceSavesFiveParametersThenTheNarrowedValues) {
    host.log.clear();
    const auto items = Save();
    ASSERT_EQ(items.size(), 6u);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(items[i].kind, minihost::SceneDataItem::kParam) << i;
        EXPECT_EQ(items[i].channelName, ChannelOf(i));
    }
    ASSERT_EQ(items[5].kind, minihost::SceneDataItem::kFloats);
    const std::vector<float> expected = {static_cast<float>(M_PI / 2), 0.0f, 0.0f, 0.0f, 0.0f};
    EXPECT_EQ(items[5].floats, expected);

    std::vector<std::string> order;
    for (const minihost::Call &call : host.log.calls()) {
        order.push_back(call.member + " " + (call.args.empty() ? "" : call.args[0]));
    }
    EXPECT_EQ(order, (std::vector<std::string>{"save param#1", "save param#2", "save param#3",
                                               "save param#4", "save param#5", "writeFloats 5"}));
}

// Stored scenes depend on the channel names, type codes, order and defaults: a new camera's
// scene must stay the one kept with the tests.
TEST_F(PersistenceTest, FreshCameraSavesTheSceneKeptWithTheTests) {
    minihost::Scene scene;
    scene.cameras.push_back(minihost::SaveCamera(host, handler.inst, camera, *item,
                                                 host::kCameraHandlerClass, kServerName));
    const minihost::Scene kept =
        minihost::ReadSceneFile(std::string(ORVALEN_TEST_DATA_DIR) + "/scenes/fresh.scene");
    EXPECT_EQ(minihost::FormatScene(scene), minihost::FormatScene(kept));
}

TEST_F(PersistenceTest, SaveErrorStopsAtThatParameter) {
    for (int failing = 0; failing < 5; ++failing) {
        host.faults.refuseSaveChannel = ChannelOf(failing);
        const char *error = nullptr;
        const auto items = Save(&error);
        ASSERT_NE(error, nullptr) << ChannelOf(failing);
        EXPECT_EQ(std::string(error),
                  std::string("stand-in host: refused to save ") + ChannelOf(failing));
        EXPECT_EQ(items.size(), static_cast<size_t>(failing)) << ChannelOf(failing);
        for (const auto &item : items) {
            EXPECT_EQ(item.kind, minihost::SceneDataItem::kParam) << ChannelOf(failing);
        }
    }
}

TEST_F(PersistenceTest, LoadErrorStopsAtThatParameterAndKeepsTheValues) {
    SetValues(1.0, 0.1, 0.2, 0.3, 0.4);
    const auto saved = Save();
    for (int failing = 0; failing < 5; ++failing) {
        SetValues(-1, -2, -3, -4, -5);
        host.faults.refuseLoadChannel = ChannelOf(failing);
        host.log.clear();
        minihost::LoadStateReader reader(host, saved, "scene");
        const char *error = handler.inst.load(camera, reader.state());
        ASSERT_NE(error, nullptr) << ChannelOf(failing);
        EXPECT_EQ(std::string(error),
                  std::string("stand-in host: refused to load ") + ChannelOf(failing));
        EXPECT_EQ(host.log.of(host::kParamServiceName, "load").size(),
                  static_cast<size_t>(failing + 1));
        EXPECT_TRUE(host.log.of("load state", "readFloats").empty()) << ChannelOf(failing);
        EXPECT_EQ(reader.consumed(), static_cast<size_t>(failing));
        EXPECT_EQ(ValuesNow(), (std::vector<double>{-1, -2, -3, -4, -5})) << ChannelOf(failing);
    }
}

TEST_F(PersistenceTest, ShortFloatBlockLeavesTheValuesAlone) {
    SetValues(1.0, 0.1, 0.2, 0.3, 0.4);
    const auto saved = Save();
    for (size_t delivered = 0; delivered < 5; ++delivered) {
        auto data = saved;
        data[5].floats.resize(delivered);
        SetValues(-1, -2, -3, -4, -5);
        minihost::LoadStateReader reader(host, data, "scene");
        EXPECT_EQ(handler.inst.load(camera, reader.state()), nullptr);
        EXPECT_EQ(ValuesNow(), (std::vector<double>{-1, -2, -3, -4, -5}))
            << delivered << " floats delivered";
    }
    // No float block at all.
    auto data = saved;
    data.pop_back();
    minihost::LoadStateReader reader(host, data, "scene");
    EXPECT_EQ(handler.inst.load(camera, reader.state()), nullptr);
    EXPECT_EQ(ValuesNow(), (std::vector<double>{-1, -2, -3, -4, -5}));
}

TEST_F(PersistenceTest, LoadedValuesAreTheSinglePrecisionCopy) {
    SetValues(M_PI / 3, 0.1, -0.25, 0.5, 0.7);
    const auto saved = Save();
    SetValues(0, 0, 0, 0, 0);
    minihost::LoadStateReader reader(host, saved, "scene");
    ASSERT_EQ(handler.inst.load(camera, reader.state()), nullptr);
    EXPECT_EQ(Values().hShift, static_cast<double>(0.1f));
    EXPECT_EQ(Values().hShift, 0.100000001490116119384765625);
    EXPECT_EQ(ValuesNow(),
              (std::vector<double>{static_cast<float>(M_PI / 3), 0.1f, -0.25f, 0.5f, 0.7f}));
}

TEST_F(PersistenceTest, LoadRejectsDataOfAnotherParameter) {
    auto saved = Save();
    std::swap(saved[1], saved[2]);
    minihost::LoadStateReader reader(host, saved, "cam.scene");
    const char *error = handler.inst.load(camera, reader.state());
    ASSERT_NE(error, nullptr);
    EXPECT_NE(std::string(error).find("found parameter VShift where parameter HShift should be"),
              std::string::npos)
        << error;
}

// A camera with keyed channels and odd values, saved to a file and loaded into a camera of
// another host and another copy of the module.
TEST_F(PersistenceTest, SceneFileRoundTripsIntoAFreshCamera) {
    host.channel(item, kFovChannel)->envelope.setKey(0.0, 1.0);
    host.channel(item, kFovChannel)->envelope.setKey(2.0, 2.5);
    host.channel(item, kHShiftChannel)->envelope.setValue(0.1);
    host.channel(item, kTiltAngleChannel)->envelope.setKey(1.0, -0.3);
    host.setTime(0.7);
    handler.record.newTime(camera, 0, 0.0);
    const std::vector<double> before = ValuesNow();
    SetFrame({1, 2, 3}, {0, 1, 0}, {0, 0, 1});
    const host::CameraRay rayBefore = Evaluate(0.3, -0.2);

    minihost::Scene scene;
    scene.time = host.time();
    scene.cameras.push_back(minihost::SaveCamera(host, handler.inst, camera, *item,
                                                 host::kCameraHandlerClass, kServerName));
    const std::string path = testing::TempDir() + "orvalen_round_trip.scene";
    minihost::WriteSceneFile(path, scene);

    const std::string otherPath = CopyOfModule();
    minihost::Host other;
    minihost::ModuleFile otherModule(otherPath);
    minihost::HandlerRecords records;
    minihost::ActivateOrThrow(otherModule.server(host::kCameraHandlerClass, kServerName), other, 1,
                              &records.record);
    const minihost::Scene loaded = minihost::ReadSceneFile(path);
    ASSERT_EQ(loaded.cameras.size(), 1u);
    other.setTime(loaded.time);
    minihost::HostItem *otherItem = other.addItem(loaded.cameras[0].itemName);
    const char *error = nullptr;
    void *copy = records.inst.create(nullptr, other.itemId(otherItem), &error);
    ASSERT_NE(copy, nullptr);
    minihost::LoadCamera(other, records.inst, copy, loaded.cameras[0], path);
    auto valuesOfCopy = [&] {
        std::vector<double> values;
        for (const CameraParamRow &row : kCameraParams) {
            values.push_back(Instance(copy).*row.value);
        }
        return values;
    };
    const std::vector<double> stored = valuesOfCopy();
    std::vector<double> narrowed;
    for (double v : before) {
        narrowed.push_back(static_cast<float>(v));
    }
    EXPECT_EQ(stored, narrowed);

    records.record.newTime(copy, 0, 0.0);
    EXPECT_EQ(valuesOfCopy(), before);
    host::CameraRay rayAfter;
    records.record.evaluate(copy, 0.3, -0.2, &rayAfter, &access);
    EXPECT_EQ(std::memcmp(&rayBefore, &rayAfter, sizeof rayAfter), 0);
    records.inst.destroy(copy);
    EXPECT_TRUE(other.misuse().empty());
    std::remove(path.c_str());
    std::remove(otherPath.c_str());
}

} // namespace

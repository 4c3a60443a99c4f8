#include "camera/camera_params.h"
#include "camera_fixture.h"
#include "minihost/scene_file.h"
#include "minihost/scene_states.h"

#include <cfloat>
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

    // The five values in the order of the camera's parameters, set through the parameter
    // service and a time update.
    void SetValues(double fov, double h, double v, double direction, double angle) {
        const double values[] = {fov, h, v, direction, angle};
        for (int i = 0; i < kCameraParamCount; ++i) {
            CameraOf(camera).setValue(kCameraParams[i].channelName, values[i]);
        }
        CameraOf(camera).setTime(host.time());
    }

    std::vector<double> ValuesNow() {
        const std::vector<float> stored = StoredValues(camera);
        return std::vector<double>(stored.begin(), stored.end());
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
    const minihost::Scene kept =
        minihost::ReadSceneFile(std::string(ORVALEN_TEST_DATA_DIR) + "/scenes/fresh.scene");
    EXPECT_EQ(minihost::FormatScene(CameraOf(camera).save()), minihost::FormatScene(kept));
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
    // The preview's off-centre term on a film 1 wide is the horizontal shift itself.
    access.filmWidth = 1.0;
    EXPECT_EQ(Preview().m[8], static_cast<double>(0.1f));
    EXPECT_EQ(Preview().m[8], 0.100000001490116119384765625);
    EXPECT_EQ(ValuesNow(),
              (std::vector<double>{static_cast<float>(M_PI / 3), 0.1f, -0.25f, 0.5f, 0.7f}));
}

// Single precision holds less than double: values beyond it are stored as the largest float
// of their sign, and the scene reads back.
TEST_F(PersistenceTest, ValuesBeyondSinglePrecisionAreStoredAsItsLargest) {
    SetValues(1e308, -1e308, 3.4028235677973366e38, 1e-50, -0.0);
    EXPECT_EQ(ValuesNow(), (std::vector<double>{FLT_MAX, -FLT_MAX, FLT_MAX, 0.0, -0.0}));
    const minihost::Scene scene = CameraOf(camera).save();
    EXPECT_NO_THROW(minihost::ParseScene(minihost::FormatScene(scene), "saved.scene"));
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
    const std::vector<float> before = StoredValues(camera);
    SetFrame({1, 2, 3}, {0, 1, 0}, {0, 0, 1});
    const host::CameraRay rayBefore = Evaluate(0.3, -0.2);

    const std::string path = testing::TempDir() + "orvalen_round_trip.scene";
    minihost::WriteSceneFile(path, CameraOf(camera).save());

    const std::string otherPath = CopyOfModule();
    {
        minihost::Session other(otherPath, kServerName);
        other.activateHandlerOrThrow();
        const minihost::Scene loaded = minihost::ReadSceneFile(path);
        ASSERT_EQ(loaded.cameras.size(), 1u);
        minihost::Camera &copy = other.newCamera(loaded.cameras[0].itemName);
        minihost::LoadCamera(other.host(), other.handler().inst, copy.instance(), loaded.cameras[0],
                             path);
        EXPECT_EQ(StoredValuesOf(copy), before);

        copy.setTime(loaded.time);
        EXPECT_EQ(StoredValuesOf(copy), before);
        const host::CameraRay rayAfter = copy.evaluate(0.3, -0.2, access);
        EXPECT_EQ(std::memcmp(&rayBefore, &rayAfter, sizeof rayAfter), 0);
        EXPECT_TRUE(other.host().misuse().empty());
    }
    std::remove(path.c_str());
    std::remove(otherPath.c_str());
}

} // namespace

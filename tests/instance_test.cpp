#include "camera/camera_params.h"
#include "module_fixture.h"

#include <cmath>
#include <cstring>

namespace {

class InstanceTest : public ModuleTest {
  protected:
    void SetUp() override {
        ModuleTest::SetUp();
        ActivateHandlerOrFail();
    }

    minihost::HostParam *Channel(const std::string &name) { return host.channel(item, name); }

    int NewTime(void *camera) { return handler.record.newTime(camera, 0, 0.0); }
};

// A new camera's values, in the order of its parameters.
const double kDefaults[] = {M_PI / 2, 0.0, 0.0, 0.0, 0.0};

TEST_F(InstanceTest, NewInstanceHasItsDefaults) {
    void *camera = NewCamera();
    std::vector<float> expected;
    for (double value : kDefaults) {
        expected.push_back(static_cast<float>(value));
    }
    EXPECT_EQ(StoredValues(camera), expected);
    EXPECT_STREQ(handler.inst.describe(camera), kProductName);
    EXPECT_STREQ(handler.inst.describe(nullptr), kProductName);
}

TEST_F(InstanceTest, CreatesFiveParametersInOrderAndSeedsThem) {
    host.log.clear();
    NewCamera();
    const auto calls = host.log.of(host::kParamServiceName);
    ASSERT_EQ(calls.size(), 15u) << host.log.text();
    for (size_t i = 0; i < 5; ++i) {
        const CameraParamRow &row = kCameraParams[i];
        const std::string param = "param#" + std::to_string(i + 1);
        const minihost::Call &create = calls[3 * i];
        const minihost::Call &setup = calls[3 * i + 1];
        const minihost::Call &seed = calls[3 * i + 2];
        const double seeded = kDefaults[i];
        EXPECT_EQ(create.member, "create") << row.channelName;
        EXPECT_EQ(create.args,
                  (std::vector<std::string>{minihost::HexText(static_cast<unsigned>(row.typeCode)),
                                            "-1", param}));
        EXPECT_EQ(setup.member, "setup") << row.channelName;
        EXPECT_EQ(setup.args, (std::vector<std::string>{param, row.channelName, "group:Camera",
                                                        "null", "null", "null", "null"}));
        EXPECT_EQ(seed.member, "setValue") << row.channelName;
        EXPECT_EQ(seed.args, (std::vector<std::string>{param, minihost::FormatDouble(seeded)}));
        minihost::HostParam *channel = Channel(row.channelName);
        ASSERT_NE(channel, nullptr) << row.channelName;
        EXPECT_EQ(channel->envelope.value(), seeded) << row.channelName;
    }
    EXPECT_EQ(item->group.channels.size(), 5u);
}

TEST_F(InstanceTest, DestroyReleasesTheFiveParametersInOrder) {
    void *camera = NewCamera();
    host.log.clear();
    DestroyCamera(camera);
    const auto destroys = host.log.of(host::kParamServiceName, "destroy");
    ASSERT_EQ(destroys.size(), 5u);
    for (size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(destroys[i].args.at(0), "param#" + std::to_string(i + 1));
    }
    EXPECT_TRUE(host.liveParams().empty());
}

TEST_F(InstanceTest, RefusedParameterRefusesTheInstanceAndReleasesTheRest) {
    for (int refused = 1; refused <= 5; ++refused) {
        minihost::Host faulty;
        minihost::HandlerRecords records;
        ASSERT_EQ(minihost::Activate(HandlerServer(), faulty, 1, &records.record), 0);
        faulty.faults.refuseParamCreate = refused;
        minihost::HostItem *camItem = faulty.addItem("Camera");
        const char *error = nullptr;
        void *camera = records.inst.create(nullptr, faulty.itemId(camItem), &error);
        EXPECT_EQ(camera, nullptr) << "refused create " << refused;
        ASSERT_NE(error, nullptr) << "refused create " << refused;
        EXPECT_STREQ(error, "Couldn't create the camera's animated parameters.");
        EXPECT_TRUE(faulty.liveParams().empty()) << "refused create " << refused;
        EXPECT_EQ(faulty.log.of(host::kParamServiceName, "destroy").size(),
                  static_cast<size_t>(refused - 1));
        EXPECT_TRUE(faulty.misuse().empty()) << "refused create " << refused;
    }
}

TEST_F(InstanceTest, NewTimeInterpolatesKeyedFov) {
    void *camera = NewCamera();
    Channel(kFovChannel)->envelope.setKey(0.0, 1.0);
    Channel(kFovChannel)->envelope.setKey(2.0, 2.0);
    host.setTime(0.5);
    EXPECT_EQ(NewTime(camera), 0);
    EXPECT_EQ(StoredValues(camera).at(0), 1.25f);
    host.setTime(5.0);
    NewTime(camera);
    EXPECT_EQ(StoredValues(camera).at(0), 2.0f);
}

TEST_F(InstanceTest, NewTimeRefreshesEveryValueFromItsParameter) {
    void *camera = NewCamera();
    for (int i = 0; i < kCameraParamCount; ++i) {
        const CameraParamRow &row = kCameraParams[i];
        Channel(row.channelName)->envelope.setKey(1.0, 0.1);
        Channel(row.channelName)->envelope.setKey(3.0, 0.9 + i);
    }
    host.setTime(2.0);
    host.log.clear();
    NewTime(camera);
    const auto evaluations = host.log.of(host::kParamServiceName, "evaluate");
    ASSERT_EQ(evaluations.size(), 5u);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(evaluations[i].args,
                  (std::vector<std::string>{"param#" + std::to_string(i + 1), "2", "null"}));
    }
    EXPECT_EQ(StoredValues(camera), (std::vector<float>{0.5f, 1.0f, 1.5f, 2.0f, 2.5f}));
    // The time is the host's current one, whatever the call's own arguments say.
    host.setTime(1.0);
    handler.record.newTime(camera, 99, 99.0);
    EXPECT_EQ(StoredValues(camera).at(0), 0.1f);
}

TEST_F(InstanceTest, NewTimeWithoutTimeServiceKeepsTheValues) {
    void *camera = NewCamera();
    Channel(kFovChannel)->envelope.setValue(1.0);
    host.faults.missingServices = {host::kTimeInfoServiceName};
    EXPECT_EQ(NewTime(camera), 0);
    EXPECT_EQ(StoredValues(camera).at(0), static_cast<float>(M_PI / 2));
    EXPECT_TRUE(host.log.of(host::kParamServiceName, "evaluate").empty());
}

TEST_F(InstanceTest, FlagsAreNone) {
    EXPECT_EQ(handler.record.flags(NewCamera()), 0u);
}

TEST_F(InstanceTest, CopyTakesValuesAndKeepsOwnParameters) {
    void *source = NewCamera("Source");
    minihost::HostItem *sourceItem = item;
    void *destination = NewCamera("Destination");
    minihost::HostItem *destinationItem = item;
    const double values[] = {1.0, 0.1, 0.2, 0.3, 0.4};
    for (int i = 0; i < kCameraParamCount; ++i) {
        CameraOf(source).setValue(kCameraParams[i].channelName, values[i]);
    }
    NewTime(source);
    host.log.clear();
    EXPECT_EQ(handler.inst.copy(destination, source), nullptr);
    EXPECT_TRUE(host.log.calls().empty()) << host.log.text();
    EXPECT_EQ(StoredValues(destination), StoredValues(source));
    host::CameraAccess access{};
    access.upAxis[1] = 1.0;
    access.viewAxis[2] = 1.0;
    access.filmWidth = 2.0;
    access.filmHeight = 1.0;
    const host::CameraRay fromSource = CameraOf(source).evaluate(0.3, -0.4, access);
    const host::CameraRay fromCopy = CameraOf(destination).evaluate(0.3, -0.4, access);
    EXPECT_EQ(std::memcmp(&fromSource, &fromCopy, sizeof fromCopy), 0);

    DestroyCamera(source);
    EXPECT_TRUE(sourceItem->group.channels.empty());
    EXPECT_EQ(destinationItem->group.channels.size(), 5u);
    host.channel(destinationItem, kFovChannel)->envelope.setValue(0.75);
    NewTime(destination);
    EXPECT_EQ(StoredValues(destination).at(0), 0.75f);
}

} // namespace

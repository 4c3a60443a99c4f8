#include "camera/channel_names.h"
#include "module_fixture.h"

#include <cmath>
#include <cstring>

namespace {

using ActivationTest = ModuleTest;

const char *const kHandlerServices[] = {
    host::kParamServiceName,
    host::kItemInfoServiceName,
    host::kEnvelopeServiceName,
    host::kTimeInfoServiceName,
};

std::vector<std::string> Lookups(const minihost::Host &h) {
    std::vector<std::string> names;
    for (const minihost::Call &call : h.log.of("global", "lookup")) {
        EXPECT_EQ(call.args.at(1), "0") << "use mode of " << call.args.at(0);
        names.push_back(call.args.at(0));
    }
    return names;
}

// A byte copy of the records before the call, to prove a failed activation wrote nothing.
struct RecordSnapshot {
    explicit RecordSnapshot(const minihost::HandlerRecords &r) {
        std::memcpy(inst, &r.inst, sizeof inst);
        std::memcpy(record, &r.record, sizeof record);
    }
    bool Same(const minihost::HandlerRecords &r) const {
        return std::memcmp(inst, &r.inst, sizeof inst) == 0 &&
               std::memcmp(record, &r.record, sizeof record) == 0;
    }
    unsigned char inst[sizeof(host::InstanceFuncs)];
    unsigned char record[sizeof(host::CameraHandlerRecord)];
};

TEST_F(ActivationTest, WrongVersionLooksNothingUpAndWritesNothing) {
    const int versions[] = {0, 2, 4, -1};
    for (int version : versions) {
        host.log.clear();
        RecordSnapshot before(handler);
        EXPECT_EQ(ActivateHandler(version), host::kActivateBadVersion) << "version " << version;
        EXPECT_TRUE(Lookups(host).empty()) << "version " << version;
        EXPECT_TRUE(before.Same(handler)) << "version " << version;
    }
}

TEST_F(ActivationTest, AnyMissingServiceFailsAfterAllFourLookups) {
    for (const char *missing : kHandlerServices) {
        minihost::Host faulty;
        faulty.faults.missingServices = {missing};
        minihost::HandlerRecords records;
        RecordSnapshot before(records);
        EXPECT_EQ(minihost::Activate(HandlerServer(), faulty, 1, &records.record),
                  host::kActivateBadGlobal)
            << missing;
        EXPECT_EQ(Lookups(faulty), std::vector<std::string>(std::begin(kHandlerServices),
                                                            std::end(kHandlerServices)))
            << missing;
        EXPECT_TRUE(before.Same(records)) << missing;
    }
}

TEST_F(ActivationTest, FailureMessageNamesTheMissingService) {
    host.faults.missingServices = {host::kTimeInfoServiceName};
    try {
        minihost::ActivateOrThrow(HandlerServer(), host, 1, &handler.record);
        FAIL() << "activation succeeded";
    } catch (const minihost::HostError &e) {
        EXPECT_EQ(std::string(e.what()), std::string("activation of ") + host::kCameraHandlerClass +
                                             " " + kServerName +
                                             " failed: a required global service is missing (" +
                                             host::kTimeInfoServiceName + ")");
    }
}

TEST_F(ActivationTest, SuccessFillsTheRecordAndLeavesTheHostMembers) {
    ASSERT_EQ(ActivateHandler(), host::kActivateOk);
    EXPECT_EQ(Lookups(host),
              std::vector<std::string>(std::begin(kHandlerServices), std::end(kHandlerServices)));
    EXPECT_EQ(handler.inst.privateData, reinterpret_cast<void *>(host.globalFunc()));
    EXPECT_NE(handler.inst.create, nullptr);
    EXPECT_NE(handler.inst.destroy, nullptr);
    EXPECT_NE(handler.inst.copy, nullptr);
    EXPECT_NE(handler.inst.load, nullptr);
    EXPECT_NE(handler.inst.save, nullptr);
    EXPECT_NE(handler.inst.describe, nullptr);
    EXPECT_EQ(handler.record.inst, &handler.inst);
    EXPECT_EQ(handler.record.hostItemFuncs, &handler.itemSentinel);
    EXPECT_EQ(handler.record.hostRenderFuncs, &handler.renderSentinel);
    EXPECT_NE(handler.record.newTime, nullptr);
    EXPECT_NE(handler.record.preview, nullptr);
    EXPECT_NE(handler.record.evaluate, nullptr);
    EXPECT_NE(handler.record.flags, nullptr);
}

TEST_F(ActivationTest, PiIsTheDoubleNearestPi) {
    ActivateHandlerOrFail();
    NewCamera();
    // A new camera seeds its field of view parameter with pi / 2 exactly.
    const double fov = host.channel(item, kFovChannel)->envelope.value();
    EXPECT_EQ(fov * 2.0, 4.0 * std::atan(1.0));
    EXPECT_EQ(fov * 2.0, M_PI);
}

TEST_F(ActivationTest, FailedActivationKeepsTheEarlierServices) {
    ActivateHandlerOrFail();
    {
        minihost::Host other;
        minihost::HandlerRecords records;
        EXPECT_EQ(minihost::Activate(HandlerServer(), other, 2, &records.record),
                  host::kActivateBadVersion);
        EXPECT_TRUE(other.log.calls().empty());
    }
    host.log.clear();
    NewCamera();
    EXPECT_EQ(host.log.of(host::kParamServiceName, "create").size(), 5u);
}

} // namespace

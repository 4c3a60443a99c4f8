#include "camera/camera_params.h"
#include "camera_fixture.h"
#include "minihost/panel_toolkit.h"
#include "panel/panel_ids.h"
#include "panel/panel_tables.h"

#include <cstring>

namespace {

class PanelTest : public CameraTest {
  protected:
    // An interface record as the host fills it before the activation.
    host::InterfaceRecord Record(void *instance) {
        host::InterfaceRecord record{};
        record.instance = instance;
        record.panel = reinterpret_cast<host::PanelHandle>(&hostPanelSentinel);
        record.optionsCallback = &hostPanelSentinel;
        record.commandCallback = &hostPanelSentinel;
        return record;
    }

    int ActivateInterface(host::InterfaceRecord *record,
                          int version = host::kCameraInterfaceVersion) {
        return session.activateInterface(record, version);
    }

    // Opens the camera's settings and returns the panel the toolkit recorded.
    const minihost::RecordedPanel &OpenPanel() {
        host::InterfaceRecord record = Record(camera);
        EXPECT_EQ(ActivateInterface(&record), host::kActivateOk);
        const minihost::RecordedPanel *panel = toolkit.panel(record.panel);
        EXPECT_NE(panel, nullptr);
        return *panel;
    }

    std::vector<minihost::Call> Notifications() {
        return host.log.of(host::kInstanceUpdateServiceName, "notify");
    }

    minihost::PanelToolkit &toolkit = session.toolkit();
    int hostPanelSentinel = 0;
};

TEST_F(PanelTest, WrongVersionDoesNothing) {
    const int versions[] = {1, 3, 5};
    for (int version : versions) {
        host.log.clear();
        host::InterfaceRecord record = Record(camera);
        const host::InterfaceRecord before = record;
        EXPECT_EQ(ActivateInterface(&record, version), host::kActivateBadVersion);
        EXPECT_TRUE(host.log.calls().empty()) << version;
        EXPECT_EQ(std::memcmp(&record, &before, sizeof record), 0) << version;
    }
}

TEST_F(PanelTest, MissingToolkitFailsAndWritesNothing) {
    host.faults.missingServices = {host::kPanelServiceName};
    host::InterfaceRecord record = Record(camera);
    const host::InterfaceRecord before = record;
    EXPECT_EQ(ActivateInterface(&record), host::kActivateBadGlobal);
    EXPECT_EQ(std::memcmp(&record, &before, sizeof record), 0);
    EXPECT_TRUE(toolkit.panels().empty());
}

TEST_F(PanelTest, RefusedPanelStillSucceedsAndWritesNothing) {
    host.faults.refusePanel = true;
    host::InterfaceRecord record = Record(camera);
    const host::InterfaceRecord before = record;
    host.log.clear();
    EXPECT_EQ(ActivateInterface(&record), host::kActivateOk);
    EXPECT_EQ(std::memcmp(&record, &before, sizeof record), 0);
    EXPECT_EQ(host.log.of(host::kPanelServiceName).size(), 1u) << host.log.text();
}

TEST_F(PanelTest, NoCameraGivesNoPanel) {
    host::InterfaceRecord record = Record(nullptr);
    const host::InterfaceRecord before = record;
    EXPECT_EQ(ActivateInterface(&record), host::kActivateOk);
    EXPECT_EQ(std::memcmp(&record, &before, sizeof record), 0);
    EXPECT_TRUE(toolkit.panels().empty());
}

TEST_F(PanelTest, ActivationLooksUpThenBuildsThePanelInOrder) {
    host.log.clear();
    host::InterfaceRecord record = Record(camera);
    ASSERT_EQ(ActivateInterface(&record), host::kActivateOk);
    ASSERT_EQ(toolkit.panels().size(), 1u);
    const minihost::RecordedPanel &panel = *toolkit.panels()[0];
    EXPECT_EQ(record.panel, toolkit.handle(&panel));
    EXPECT_EQ(record.instance, camera);
    EXPECT_EQ(record.optionsCallback, nullptr);
    EXPECT_EQ(record.commandCallback, nullptr);

    std::vector<std::string> calls;
    for (const minihost::Call &call : host.log.calls()) {
        calls.push_back(call.member + (call.member == "lookup"
                                           ? " " + call.args.at(0) + " " + call.args.at(1)
                                           : ""));
    }
    EXPECT_EQ(calls, (std::vector<std::string>{
                         std::string("lookup ") + host::kInstanceUpdateServiceName + " 0",
                         std::string("lookup ") + host::kPanelServiceName + " 0", "create",
                         "describe", "hint", "viewInstance", "setData"}));
    EXPECT_EQ(panel.type, 1);
    EXPECT_EQ(panel.viewInstance, camera);
    EXPECT_EQ(panel.elementData.at(0), camera);
    EXPECT_EQ(panel.elementData.size(), 1u);
    EXPECT_TRUE(panel.errors.empty());
}

TEST_F(PanelTest, ControlAndDataTablesWordForWord) {
    const minihost::RecordedPanel &panel = OpenPanel();
    struct Row {
        host::PanelElementId id;
        const char *label;
        const char *kind;
    };
    const Row rows[] = {
        {0x8001, kFovLabel, kAngleEnvClass},
        {0x8003, kHShiftLabel, kPercentEnvClass},
        {0x8004, kVShiftLabel, kPercentEnvClass},
    };
    ASSERT_EQ(panel.controls.size(), 3u);
    ASSERT_EQ(panel.data.size(), 3u);
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(panel.controls[i].id, rows[i].id);
        EXPECT_EQ(panel.controls[i].label, rows[i].label);
        EXPECT_EQ(panel.controls[i].controlClass, rows[i].kind);
        EXPECT_EQ(panel.data[i].id, rows[i].id);
        EXPECT_EQ(panel.data[i].name, "");
        EXPECT_EQ(panel.data[i].dataType, rows[i].kind);
    }
    EXPECT_TRUE(panel.controlsEndAllNull);
    EXPECT_TRUE(panel.dataEndAllNull);
}

TEST_F(PanelTest, HintListWordForWord) {
    const minihost::RecordedPanel &panel = OpenPanel();
    ASSERT_EQ(panel.hints.count(0), 1u);
    const minihost::DecodedHints &hints = panel.hints.at(0);
    const std::vector<host::HintWord> &w = hints.words;
    ASSERT_EQ(w.size(), 38u);
    const host::HintWord title = w[12];
    const host::HintWord noOp = w[15];
    const std::vector<host::HintWord> expected = {
        0x3d01fe81, 0x8005,     0x8001, 0x8002, 0,          0x3d01fe81, 0x8006, 0x8003,     0x8004,
        0,          0x3d000b03, 0,      title,  0,          0x3d000f01, noOp,   0x3d001302, noOp,
        0,          0x3d014002, 0x8001, 0,      0x3d014202, 0x8001,     1,      0x3d014002, 0x8003,
        -1000,      0x3d014102, 0x8003, 1000,   0x3d014002, 0x8004,     -1000,  0x3d014102, 0x8004,
        1000,       0,
    };
    EXPECT_EQ(w, expected);
    EXPECT_STREQ(reinterpret_cast<const char *>(title), kProductName);
    EXPECT_NE(noOp, 0);

    EXPECT_EQ(hints.labels.at(0), kProductName);
    ASSERT_EQ(hints.groups.size(), 2u);
    EXPECT_EQ(hints.groups[0].id, ID_FOV_GROUP);
    EXPECT_EQ(hints.groups[0].members, (std::vector<host::PanelElementId>{0x8001, 0x8002}));
    EXPECT_EQ(hints.groups[1].id, ID_SHIFT_GROUP);
    EXPECT_EQ(hints.groups[1].members, (std::vector<host::PanelElementId>{0x8003, 0x8004}));
    EXPECT_EQ(hints.minimum.at(ID_HSHIFT), -1000);
    EXPECT_EQ(hints.maximum.at(ID_VSHIFT), 1000);
    EXPECT_EQ(hints.step.at(ID_FOV), 1);
    // The no-op callback is safe to call, as the toolkit may.
    reinterpret_cast<host::PanelCallbackFunc>(noOp)();
}

TEST_F(PanelTest, GetGivesTheParameterBehindEachControl) {
    const minihost::RecordedPanel &panel = OpenPanel();
    struct Case {
        host::PanelElementId id;
        host::ParamHandle expected;
    };
    std::vector<Case> cases = {
        {0x8002, nullptr}, {0x8005, nullptr},      {0x8006, nullptr},
        {0, nullptr},      {0xffffffffu, nullptr},
    };
    int controls = 0;
    for (const CameraParamRow &row : kCameraParams) {
        if (row.panelElement != kNoPanelElement) {
            cases.push_back({row.panelElement, host.handle(host.channel(item, row.channelName))});
            ++controls;
        }
    }
    EXPECT_EQ(controls, 3);
    for (const Case &c : cases) {
        EXPECT_EQ(panel.get(camera, c.id), c.expected) << std::hex << c.id;
    }
}

TEST_F(PanelTest, SetStoresTheValueAndNotifiesOnce) {
    const minihost::RecordedPanel &panel = OpenPanel();
    int controls = 0;
    for (int i = 0; i < kCameraParamCount; ++i) {
        const host::PanelElementId id = kCameraParams[i].panelElement;
        if (id == kNoPanelElement) {
            continue;
        }
        host.log.clear();
        std::vector<float> expected = StoredValues(camera);
        expected[i] = 0.25f;
        EXPECT_EQ(toolkit.set(panel, id, 0.25), 1);
        EXPECT_EQ(StoredValues(camera), expected) << std::hex << id;
        const auto notes = Notifications();
        ASSERT_EQ(notes.size(), 1u);
        EXPECT_EQ(notes[0].args, (std::vector<std::string>{host::kCameraHandlerClass,
                                                           minihost::Host::pointerText(camera)}));
        ++controls;
    }
    EXPECT_EQ(controls, 3);
}

TEST_F(PanelTest, SetRefusesUnknownElementsAndBadValues) {
    const minihost::RecordedPanel &panel = OpenPanel();
    const std::vector<float> before = StoredValues(camera);
    host.log.clear();
    struct Case {
        host::PanelElementId id;
        double value;
    };
    const Case cases[] = {
        {0x8002, 0.25}, {0x8005, 0.25},     {0, 0.25},
        {0x8001, NAN},  {0x8003, INFINITY}, {0x8004, -INFINITY},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(toolkit.set(panel, c.id, c.value), 0) << std::hex << c.id << " " << c.value;
    }
    EXPECT_EQ(panel.set(camera, ID_FOV, nullptr), 0);
    EXPECT_EQ(StoredValues(camera), before);
    EXPECT_TRUE(Notifications().empty());
}

TEST_F(PanelTest, WithoutInstanceUpdateThePanelStillWorks) {
    host.faults.missingServices = {host::kInstanceUpdateServiceName};
    const minihost::RecordedPanel &panel = OpenPanel();
    EXPECT_EQ(toolkit.set(panel, ID_HSHIFT, 0.25), 1);
    EXPECT_EQ(Preview().m[8], 0.25 * access.filmWidth);
    EXPECT_TRUE(Notifications().empty());
}

TEST_F(PanelTest, PanelValueDrivesTheNextRayUntilTheNextTimeUpdate) {
    const minihost::RecordedPanel &panel = OpenPanel();
    host.channel(item, kHShiftChannel)->envelope.setValue(0.0);
    ASSERT_EQ(toolkit.set(panel, ID_HSHIFT, 0.5), 1);
    // Half the film width of shift: the left edge's middle looks straight ahead.
    Vec d = Direction(Evaluate(-1.0, 0.0));
    EXPECT_LT(Distance(d, {0, 0, 1}), 1e-15) << d;
    EXPECT_EQ(Preview().m[8], 1.0);
    handler.record.newTime(camera, 0, 0.0);
    EXPECT_EQ(Preview().m[8], 0.0);
    d = Direction(Evaluate(-1.0, 0.0));
    EXPECT_GT(Distance(d, {0, 0, 1}), 0.5) << d;
}

TEST_F(PanelTest, ThePanelAsAPersonSeesIt) {
    const minihost::RecordedPanel &panel = OpenPanel();
    const std::string text = toolkit.describe(panel);
    EXPECT_EQ(text, std::string(kProductName) +
                        "\n"
                        "  group 0x8005\n"
                        "    Vertical FOV:       90 degrees  (minimum 0 degrees, step 1 degrees)  "
                        "[angle-env]\n"
                        "  group 0x8006\n"
                        "    Horizontal Shift:   0 %  (minimum -1000 %, maximum 1000 %)  "
                        "[percent-env]\n"
                        "    Vertical Shift:     0 %  (minimum -1000 %, maximum 1000 %)  "
                        "[percent-env]\n")
        << text;
}

// Each control shows its own channel: distinct values in every channel tell them apart.
TEST_F(PanelTest, EachControlShowsItsOwnChannel) {
    minihost::Camera &c = CameraOf(camera);
    c.setValue(kFovChannel, M_PI / 3);
    c.setValue(kHShiftChannel, 0.125);
    c.setValue(kVShiftChannel, -0.25);
    c.setValue(kTiltDirectionChannel, 1.0);
    c.setValue(kTiltAngleChannel, 2.0);
    const std::string text = toolkit.describe(OpenPanel());
    EXPECT_NE(text.find("Vertical FOV:       60 degrees"), std::string::npos) << text;
    EXPECT_NE(text.find("Horizontal Shift:   12.5 %"), std::string::npos) << text;
    EXPECT_NE(text.find("Vertical Shift:     -25 %"), std::string::npos) << text;
}

TEST(HintDecoder, RefusesWhatItCannotRead) {
    const host::HintWord unknownTag[] = {0x3d01fe81, 0x8005, 0x8001, 0, 0x12345678, 0};
    const host::HintWord unended[] = {0x3d014002, 0x8001, 0, 0x3d014002, 0x8001, 0};
    struct Case {
        const host::HintWord *words;
        size_t bound;
        const char *message;
    };
    const Case cases[] = {
        {unknownTag, 64, "unknown hint tag 0x12345678 at word 4"},
        {unended, 6, "the hint list has no end within 6 words"},
        {nullptr, 64, "the hint list is null"},
    };
    for (const Case &c : cases) {
        try {
            minihost::DecodeHints(c.words, c.bound);
            ADD_FAILURE() << "decoded";
        } catch (const minihost::HostError &e) {
            EXPECT_EQ(std::string(e.what()).find(c.message), 0u) << e.what();
        }
    }
}

} // namespace

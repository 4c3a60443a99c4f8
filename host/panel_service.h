#pragma once

#include "host/calling.h"

#include <cstddef>
#include <cstdint>

namespace host {

struct Panel;
typedef Panel *PanelHandle;

// Panel element ids are 32 bits wide on every platform the host runs on.
typedef std::uint32_t PanelElementId;

// One word of a hint list: an integer, a text or a function, so it is as wide as a pointer
// (32 bits in the shipped module).
typedef std::intptr_t HintWord;

struct PanelControl {
    PanelElementId id;
    const char *label;
    const char *controlClass;
};

struct PanelDataDesc {
    PanelElementId id;
    const char *name;
    const char *dataType;
};

typedef void *(HOST_CALL *PanelGetFunc)(void *instance, PanelElementId id);
typedef int(HOST_CALL *PanelSetFunc)(void *instance, PanelElementId id, void *value);
typedef void(HOST_CALL *PanelCallbackFunc)(void);

typedef PanelHandle(HOST_CALL *PanelCreateFunc)(int panelType, const PanelControl *controls);
typedef int(HOST_CALL *PanelDescribeFunc)(PanelHandle panel, const PanelDataDesc *data,
                                          PanelGetFunc get, PanelSetFunc set);
typedef void(HOST_CALL *PanelHintFunc)(PanelHandle panel, PanelElementId id, const HintWord *hints);
typedef void(HOST_CALL *PanelSetDataFunc)(PanelHandle panel, PanelElementId id, void *data);
typedef int(HOST_CALL *PanelViewInstanceFunc)(PanelHandle panel, void *instance);

// "LWXPanel".
struct PanelService {
    void *unused0;
    void *unused1;
    PanelCreateFunc create;
    void *unused3;
    PanelDescribeFunc describe;
    PanelHintFunc hint;
    void *unused6;
    PanelSetDataFunc setData;
    void *unused8;
    void *unused9;
    PanelViewInstanceFunc viewInstance;
};

// Panel types the toolkit builds.
constexpr int kPanelTypeForm = 1;

// Element 0 is the panel itself.
constexpr PanelElementId kPanelSelf = 0;

// Hint tags.
constexpr HintWord kHintGroup = 0x3d01fe81;
constexpr HintWord kHintLabel = 0x3d000b03;
constexpr HintWord kHintCallback = 0x3d000f01;
constexpr HintWord kHintCallbackWithData = 0x3d001302;
constexpr HintWord kHintMinimum = 0x3d014002;
constexpr HintWord kHintMaximum = 0x3d014102;
constexpr HintWord kHintStep = 0x3d014202;
constexpr HintWord kHintEnd = 0;

// The record the host hands to the settings interface's activation.
struct InterfaceRecord {
    void *instance;
    PanelHandle panel;
    void *optionsCallback;
    void *commandCallback;
};

static_assert(sizeof(HintWord) == sizeof(void *), "hint words hold pointers");
static_assert(offsetof(PanelControl, label) == sizeof(void *), "control table layout");
static_assert(offsetof(PanelControl, controlClass) == 2 * sizeof(void *), "control table layout");
static_assert(offsetof(PanelDataDesc, name) == sizeof(void *), "data description layout");
static_assert(offsetof(PanelDataDesc, dataType) == 2 * sizeof(void *), "data description layout");
static_assert(offsetof(PanelService, create) == SlotOffset(2), "panel service layout");
static_assert(offsetof(PanelService, describe) == SlotOffset(4), "panel service layout");
static_assert(offsetof(PanelService, hint) == SlotOffset(5), "panel service layout");
static_assert(offsetof(PanelService, setData) == SlotOffset(7), "panel service layout");
static_assert(offsetof(PanelService, viewInstance) == SlotOffset(10), "panel service layout");
static_assert(offsetof(InterfaceRecord, instance) == SlotOffset(0), "interface record layout");
static_assert(offsetof(InterfaceRecord, panel) == SlotOffset(1), "interface record layout");
static_assert(offsetof(InterfaceRecord, optionsCallback) == SlotOffset(2),
              "interface record layout");
static_assert(offsetof(InterfaceRecord, commandCallback) == SlotOffset(3),
              "interface record layout");

} // namespace host

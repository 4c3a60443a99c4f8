#pragma once

#include "host/calling.h"

#include <cstddef>

namespace host {

// Opaque handles of the host: the plug-in stores and passes them, never looks inside.
struct Item;
struct ChannelGroup;
typedef Item *ItemId;
typedef ChannelGroup *GroupHandle;

typedef GroupHandle(HOST_CALL *ItemChanGroupFunc)(ItemId item);

// "LW Item Info 4": only the channel group lookup (member 13) is used by the camera.
struct ItemInfoService {
    void *unused[13];
    ItemChanGroupFunc chanGroup;
};

// "LW Time Info": member 0 is the host's current time.
struct TimeInfo {
    double time;
};

// "Instance Update": tells the host that an instance of a server class changed.
typedef int(HOST_CALL *InstanceUpdateFunc)(const char *className, void *instance);

static_assert(offsetof(ItemInfoService, chanGroup) == SlotOffset(13), "item info layout");
static_assert(offsetof(TimeInfo, time) == 0, "time info layout");

} // namespace host

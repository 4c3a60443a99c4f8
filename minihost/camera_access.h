#pragma once

#include "host/camera_records.h"
#include "minihost/host.h"

namespace minihost {

// The record the host hands a camera for a preview or a ray: the item's position, its up and
// viewing axes from its heading, pitch and bank, and the film size.
host::CameraAccess AccessFor(const HostItem &item, double filmWidth, double filmHeight);

} // namespace minihost

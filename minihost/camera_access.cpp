#include "minihost/camera_access.h"

#include <cmath>

namespace minihost {

namespace {

struct Axis {
    double x, y, z;
};

// Bank about the viewing axis, then pitch about the sideways axis, then heading about up.
Axis Orient(Axis v, double heading, double pitch, double bank) {
    const double cb = std::cos(bank), sb = std::sin(bank);
    v = {v.x * cb + v.y * sb, -v.x * sb + v.y * cb, v.z};
    const double cp = std::cos(pitch), sp = std::sin(pitch);
    v = {v.x, v.y * cp - v.z * sp, v.y * sp + v.z * cp};
    const double ch = std::cos(heading), sh = std::sin(heading);
    return {v.x * ch + v.z * sh, v.y, -v.x * sh + v.z * ch};
}

void Store(double target[3], Axis v) {
    target[0] = v.x;
    target[1] = v.y;
    target[2] = v.z;
}

} // namespace

host::CameraAccess AccessFor(const HostItem &item, double filmWidth, double filmHeight) {
    host::CameraAccess access{};
    for (int i = 0; i < 3; ++i) {
        access.position[i] = item.position[i];
    }
    Store(access.upAxis, Orient({0, 1, 0}, item.heading, item.pitch, item.bank));
    Store(access.viewAxis, Orient({0, 0, 1}, item.heading, item.pitch, item.bank));
    access.filmWidth = filmWidth;
    access.filmHeight = filmHeight;
    return access;
}

} // namespace minihost

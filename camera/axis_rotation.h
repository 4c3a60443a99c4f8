#pragma once

#include "camera/vec3.h"
#include "host/camera_records.h"

// The rotation by angleRadians about axis, right-handed in the coordinate frame, stored column
// by column. The axis need not have unit length. An axis of zero or non-finite length has no
// direction to turn about, so it gives the identity.
void AxisRotation(const double axis[3], double angleRadians, host::Matrix4 *rotation);

// rotation applied to w; the fourth row and column add nothing.
Vec3 ApplyRotation(const host::Matrix4 &rotation, Vec3 w);

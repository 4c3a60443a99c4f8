#include "camera/axis_rotation.h"
#include "camera/camera_instance.h"
#include "camera/camera_ops.h"

#include <cmath>

// Called by the host's renderer once per film sample, from many threads at once on the same
// instance. It reads fov and the shifts and writes nothing in the instance: the film size is
// taken from this call's record, so concurrent calls share no state.
int HOST_CALL CameraEvaluate(void *instance, double filmX, double filmY, host::CameraRay *ray,
                             const host::CameraAccess *access) {
    const CameraInstance *inst = static_cast<const CameraInstance *>(instance);
    const double filmWidth = access->filmWidth;
    const double filmHeight = access->filmHeight;
    const double shiftedX = filmX + inst->hShift * filmWidth;
    const double shiftedY = filmY + inst->vShift * filmHeight;

    double polarRadians = 0.0;
    double offAxisRadians = 0.0;
    if (shiftedX != 0.0 || shiftedY != 0.0) {
        polarRadians = std::atan2(shiftedY, shiftedX);
        const double radius = std::sqrt(shiftedX * shiftedX + shiftedY * shiftedY);
        offAxisRadians = (radius / filmHeight) * inst->fov;
    }
    // A film height of zero or a field of view that is not a number leaves no angle to turn
    // by; the ray then looks along the viewing axis rather than carrying NaN to the renderer.
    if (!std::isfinite(offAxisRadians) || !std::isfinite(polarRadians)) {
        polarRadians = 0.0;
        offAxisRadians = 0.0;
    }

    // A zero-length up axis tilts nothing, so the ray stays on the viewing axis; a zero-length
    // viewing axis leaves no direction at all, and the ray's direction is that zero vector.
    host::Matrix4 tilt;
    host::Matrix4 turn;
    AxisRotation(access->upAxis, offAxisRadians, &tilt);
    AxisRotation(access->viewAxis, polarRadians, &turn);
    const Vec3 view{access->viewAxis[0], access->viewAxis[1], access->viewAxis[2]};
    const Vec3 direction = ApplyRotation(turn, ApplyRotation(tilt, view));

    for (int i = 0; i < 3; ++i) {
        ray->origin[i] = access->position[i];
    }
    ray->direction[0] = ray->directionCopy[0] = direction.x;
    ray->direction[1] = ray->directionCopy[1] = direction.y;
    ray->direction[2] = ray->directionCopy[2] = direction.z;
    return 1;
}

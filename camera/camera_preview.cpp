#include "camera/camera_instance.h"
#include "camera/camera_ops.h"
#include "module/module_state.h"

#include <cmath>

namespace {

constexpr double PREVIEW_FAR = 65000.0;
// Focal term used when the field of view gives none below the far distance (a field of view
// of zero or less, or one so narrow the frustum would turn inside out).
constexpr double PREVIEW_MAX_FOCAL = 0.5 * PREVIEW_FAR;

} // namespace

// Called by the host's interactive preview on its main thread. Writes the film size into the
// instance and the whole matrix: a perspective frustum whose focal term (also the near
// distance) follows the true field of view up to 90 degrees and shrinks in inverse proportion
// to it beyond.
int HOST_CALL CameraPreview(void *instance, host::Matrix4 *matrix,
                            const host::CameraAccess *access) {
    CameraInstance *inst = static_cast<CameraInstance *>(instance);
    const double filmWidth = access->filmWidth;
    const double filmHeight = access->filmHeight;
    inst->filmWidth = filmWidth;
    inst->filmHeight = filmHeight;

    const double pi = ModuleState.pi;
    const double fov = inst->fov;
    double focal;
    if (0.5 * pi > fov) {
        focal = 0.5 * filmHeight / std::tan(0.5 * fov);
    } else {
        focal = 0.5 * filmHeight * pi / (2.0 * fov);
    }
    if (!(fov > 0.0) || !(focal < PREVIEW_FAR)) {
        focal = PREVIEW_MAX_FOCAL;
    }

    double *m = matrix->m;
    for (int i = 0; i < 16; ++i) {
        m[i] = 0.0;
    }
    m[0] = focal;
    m[5] = focal;
    m[8] = inst->hShift * filmWidth;
    m[9] = inst->vShift * filmHeight;
    m[10] = -(PREVIEW_FAR + focal) / (PREVIEW_FAR - focal);
    m[11] = -1.0;
    m[14] = -(2.0 * PREVIEW_FAR * focal) / (PREVIEW_FAR - focal);
    return 1;
}

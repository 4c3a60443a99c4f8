#include "camera/axis_rotation.h"
#include "camera/camera_instance.h"
#include "camera/camera_ops.h"
#include "camera/vec3.h"

#include <cmath>

namespace {

// The host's frames are orthonormal up to rounding. Up and viewing axes whose squared lengths
// are within this of 1 and whose dot product is within it of 0 are taken as orthonormal:
// dividing by their lengths and turning by their lean would change a direction by less than
// 3e-13 of its length, and would cost a square root and a division per axis on every ray.
constexpr double kOrthonormalTolerance = 1e-13;

// True when an axis has a direction: a non-zero, finite length.
bool HasDirection(double lengthSquared) {
    return lengthSquared > 0.0 && lengthSquared < INFINITY;
}

bool IsUnit(double lengthSquared) {
    return std::fabs(lengthSquared - 1.0) <= kOrthonormalTolerance;
}

// The viewing axis F tilted by the off-axis angle about the unit up axis u, then turned by
// the polar angle about F: Rodrigues' formula on the vector for each rotation, multiplied out.
// With d = u.F, e = d/|F| and W = u x F the result is
//   (cp c - sp s e + (1 - cp)(c + (1 - c) e^2)) F
//   + (cp s - sp (1 - c) e) W + (cp (1 - c) d + sp s |F|) u
// for c, s the off-axis angle's cosine and sine and cp, sp the polar angle's. Out of line: the
// host's own frames take the orthonormal form below.
[[gnu::noinline]] Vec3 DirectionOnAnyFrame(Vec3 up, double upLengthSquared, Vec3 view,
                                           double viewLengthSquared, double offAxisRadians,
                                           double cosPolar, double sinPolar) {
    const double viewLength = std::sqrt(viewLengthSquared);
    const Vec3 unitUp = (1.0 / std::sqrt(upLengthSquared)) * up;
    const Vec3 across = Cross(unitUp, view);
    const double upAlongView = Dot(unitUp, view);
    const double lean = upAlongView / viewLength;
    const double c = std::cos(offAxisRadians);
    const double s = std::sin(offAxisRadians);
    const double oneMinusC = 1.0 - c;
    const double alongView =
        cosPolar * c - sinPolar * s * lean + (1.0 - cosPolar) * (c + oneMinusC * lean * lean);
    const double alongAcross = cosPolar * s - sinPolar * oneMinusC * lean;
    const double alongUp = cosPolar * oneMinusC * upAlongView + sinPolar * s * viewLength;
    return alongView * view + (alongAcross * across + alongUp * unitUp);
}

// The ray's direction for a frame with an axis that has no direction, through AxisRotation,
// which turns nothing about such an axis: a zero up axis leaves the ray on the viewing axis,
// and a zero viewing axis leaves the zero vector as the direction. Kept out of line: the host
// never sends such frames, and its rotation matrices would weigh on every ray's stack frame.
[[gnu::noinline, gnu::cold]] Vec3 DirectionWithoutFrame(const host::CameraAccess &access,
                                                        double offAxisRadians,
                                                        double polarRadians) {
    host::Matrix4 tilt;
    host::Matrix4 turn;
    AxisRotation(access.upAxis, offAxisRadians, &tilt);
    AxisRotation(access.viewAxis, polarRadians, &turn);
    return ApplyRotation(turn, ApplyRotation(tilt, ToVec3(access.viewAxis)));
}

} // namespace

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

    // The polar angle is used only through its cosine and sine, which the shifted position
    // gives directly.
    const double radius = std::sqrt(shiftedX * shiftedX + shiftedY * shiftedY);
    const double inverseRadius = 1.0 / radius;
    double offAxisRadians = (radius / filmHeight) * inst->fov;
    double cosPolar = shiftedX * inverseRadius;
    double sinPolar = shiftedY * inverseRadius;
    // The film centre, a radius too small to square, a film height of zero or a field of view
    // that is not a number leave no direction or no angle to turn by (the sum of the polar
    // cosine and sine is finite exactly when both are); the ray then looks along the viewing
    // axis rather than carrying NaN to the renderer.
    if (!std::isfinite(offAxisRadians) || !std::isfinite(cosPolar + sinPolar)) {
        offAxisRadians = 0.0;
        cosPolar = 1.0;
        sinPolar = 0.0;
    }

    const Vec3 up = ToVec3(access->upAxis);
    const Vec3 view = ToVec3(access->viewAxis);
    const double upLengthSquared = Dot(up, up);
    const double viewLengthSquared = Dot(view, view);
    Vec3 direction;
    if (IsUnit(upLengthSquared) && IsUnit(viewLengthSquared) &&
        std::fabs(Dot(up, view)) <= kOrthonormalTolerance) {
        // What the two rotations come to when U and F are orthonormal.
        const double c = std::cos(offAxisRadians);
        const double s = std::sin(offAxisRadians);
        direction = c * view + s * (cosPolar * Cross(up, view) + sinPolar * up);
    } else if (HasDirection(upLengthSquared) && HasDirection(viewLengthSquared)) {
        direction = DirectionOnAnyFrame(up, upLengthSquared, view, viewLengthSquared,
                                        offAxisRadians, cosPolar, sinPolar);
    } else {
        direction = DirectionWithoutFrame(*access, offAxisRadians, std::atan2(sinPolar, cosPolar));
    }

    for (int i = 0; i < 3; ++i) {
        ray->origin[i] = access->position[i];
    }
    ray->direction[0] = ray->directionCopy[0] = direction.x;
    ray->direction[1] = ray->directionCopy[1] = direction.y;
    ray->direction[2] = ray->directionCopy[2] = direction.z;
    return 1;
}

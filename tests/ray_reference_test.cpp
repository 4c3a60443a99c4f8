// The ray against the rotation routine it is defined by: the viewing axis turned by
// AxisRotation about the up axis, then about the viewing axis, whatever shortcut the module
// takes to get there.

#include "camera/axis_rotation.h"
#include "camera_fixture.h"

#include <cstring>
#include <random>

namespace {

using RayReferenceTest = CameraTest;

Vec3 ToVec3(Vec v) {
    return Vec3{v.x, v.y, v.z};
}
Vec FromVec3(Vec3 v) {
    return Vec{v.x, v.y, v.z};
}

// The direction built with two rotation matrices, step by step as the camera is defined.
Vec TwoMatrixDirection(Vec up, Vec view, double filmHeight, double fov, double shiftedX,
                       double shiftedY) {
    double polar = 0.0;
    double offAxis = 0.0;
    if (shiftedX != 0.0 || shiftedY != 0.0) {
        polar = std::atan2(shiftedY, shiftedX);
        offAxis = (std::sqrt(shiftedX * shiftedX + shiftedY * shiftedY) / filmHeight) * fov;
    }
    const double upAxis[3] = {up.x, up.y, up.z};
    const double viewAxis[3] = {view.x, view.y, view.z};
    host::Matrix4 tilt;
    host::Matrix4 turn;
    AxisRotation(upAxis, offAxis, &tilt);
    AxisRotation(viewAxis, polar, &turn);
    return FromVec3(ApplyRotation(turn, ApplyRotation(tilt, ToVec3(view))));
}

TEST(AxisRotationTest, TurnsRightHandedAndIgnoresTheAxisLength) {
    struct Case {
        const char *what;
        Vec axis;
        double angle;
        Vec w, expected;
    };
    const double t = 0.7;
    const Case cases[] = {
        {"about +Y, +Z turns towards +X", {0, 1, 0}, t, {0, 0, 1}, {std::sin(t), 0, std::cos(t)}},
        {"about +Z, +X turns towards +Y", {0, 0, 1}, t, {1, 0, 0}, {std::cos(t), std::sin(t), 0}},
        {"about +X, +Y turns towards +Z", {1, 0, 0}, t, {0, 1, 0}, {0, std::cos(t), std::sin(t)}},
        {"axis of length 2 as the unit axis",
         {0, 2, 0},
         t,
         {0, 0, 1},
         {std::sin(t), 0, std::cos(t)}},
        {"the axis itself stays", {0.6, 0.8, 0}, 2.0, {0.6, 0.8, 0}, {0.6, 0.8, 0}},
        {"a half turn reverses the perpendicular", {0, 0, 3}, M_PI, {1, 0, 0}, {-1, 0, 0}},
    };
    for (const Case &k : cases) {
        const double axis[3] = {k.axis.x, k.axis.y, k.axis.z};
        host::Matrix4 rotation;
        AxisRotation(axis, k.angle, &rotation);
        EXPECT_LT(Distance(FromVec3(ApplyRotation(rotation, ToVec3(k.w))), k.expected), 1e-15)
            << k.what;
        EXPECT_EQ(rotation.m[15], 1.0) << k.what;
    }

    const double unit[3] = {0.6, 0.8, 0.0};
    const double doubled[3] = {1.2, 1.6, 0.0};
    host::Matrix4 fromUnit;
    host::Matrix4 fromDoubled;
    AxisRotation(unit, 1.1, &fromUnit);
    AxisRotation(doubled, 1.1, &fromDoubled);
    for (int i = 0; i < 16; ++i) {
        EXPECT_NEAR(fromDoubled.m[i], fromUnit.m[i], 1e-16) << "element " << i;
    }
}

enum class FrameKind { kOrthonormal, kNearlyOrthonormal, kScaled, kSkewed };

const char *Name(FrameKind kind) {
    switch (kind) {
    case FrameKind::kOrthonormal:
        return "orthonormal";
    case FrameKind::kNearlyOrthonormal:
        return "nearly orthonormal";
    case FrameKind::kScaled:
        return "scaled";
    case FrameKind::kSkewed:
        return "skewed";
    }
    return "?";
}

Vec RandomUnit(std::mt19937_64 &random) {
    std::normal_distribution<double> normal;
    const Vec v{normal(random), normal(random), normal(random)};
    return (1.0 / Length(v)) * v;
}

// Up and viewing axes of the kind asked for: at right angles and of unit length as the host
// makes them, off that by 1e-15 to 1e-11 (on both sides of where the module stops taking a
// frame as orthonormal), of lengths from 1/1000 to 1000, or at any angle that is not parallel.
void RandomFrame(std::mt19937_64 &random, FrameKind kind, Vec *up, Vec *view) {
    *view = RandomUnit(random);
    const Vec across = Cross(*view, RandomUnit(random));
    *up = (1.0 / Length(across)) * Cross(across, *view);
    if (kind == FrameKind::kNearlyOrthonormal) {
        std::uniform_real_distribution<double> exponent(-15.0, -11.0);
        *up = *up + std::pow(10.0, exponent(random)) * RandomUnit(random);
        *view = *view + std::pow(10.0, exponent(random)) * RandomUnit(random);
    } else if (kind == FrameKind::kScaled) {
        std::uniform_real_distribution<double> exponent(-3.0, 3.0);
        *up = std::pow(10.0, exponent(random)) * *up;
        *view = std::pow(10.0, exponent(random)) * *view;
    } else if (kind == FrameKind::kSkewed) {
        std::uniform_real_distribution<double> lean(-0.95, 0.95);
        std::uniform_real_distribution<double> length(0.2, 5.0);
        *up = length(random) * (*up + lean(random) * *view);
    }
}

TEST_F(RayReferenceTest, EveryFrameMatchesTheTwoMatrixRotations) {
    std::mt19937_64 random(20261211);
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    std::uniform_real_distribution<double> fovs(0.0, 2 * M_PI);
    for (FrameKind kind : {FrameKind::kOrthonormal, FrameKind::kNearlyOrthonormal,
                           FrameKind::kScaled, FrameKind::kSkewed}) {
        for (int i = 0; i < 3000; ++i) {
            Vec up, view;
            RandomFrame(random, kind, &up, &view);
            const Vec position{1000 * unit(random), 1000 * unit(random), 1000 * unit(random)};
            SetFrame(position, up, view);
            access.filmWidth = 0.1 + 2 * std::abs(unit(random));
            access.filmHeight = 0.1 + 2 * std::abs(unit(random));
            host.log.clear();
            const double fov = fovs(random);
            const double hShift = unit(random);
            SetCamera(fov, hShift, unit(random));
            // Film positions reach past the film's corners, where rays look furthest off axis.
            const double x = unit(random) * access.filmWidth;
            const double y = unit(random) * access.filmHeight;

            const host::CameraRay ray = Evaluate(x, y);
            const Vec expected = TwoMatrixDirection(up, view, access.filmHeight, settings.fov,
                                                    x + settings.hShift * access.filmWidth,
                                                    y + settings.vShift * access.filmHeight);
            const std::string context = std::string(Name(kind)) + " frame, sample " +
                                        std::to_string(i) + ": up " + ::testing::PrintToString(up) +
                                        ", view " + ::testing::PrintToString(view) + ", fov " +
                                        std::to_string(settings.fov) + ", film (" +
                                        std::to_string(x) + ", " + std::to_string(y) + ")";
            EXPECT_LT(Distance(Direction(ray), expected), 1e-12 * Length(view)) << context;
            EXPECT_EQ(std::memcmp(ray.direction, ray.directionCopy, sizeof ray.direction), 0)
                << context;
            EXPECT_EQ(std::memcmp(ray.origin, access.position, sizeof ray.origin), 0) << context;
        }
    }
}

} // namespace

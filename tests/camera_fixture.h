#pragma once

#include "camera/channel_names.h"
#include "module_fixture.h"

#include <cmath>

struct Vec {
    double x, y, z;
};

inline Vec operator+(Vec a, Vec b) {
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}
inline Vec operator*(double s, Vec v) {
    return {s * v.x, s * v.y, s * v.z};
}
inline double Dot(Vec a, Vec b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
inline double Length(Vec v) {
    return std::sqrt(Dot(v, v));
}
inline Vec Cross(Vec a, Vec b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
inline double Distance(Vec a, Vec b) {
    return Length(a + (-1.0) * b);
}

inline std::ostream &operator<<(std::ostream &out, Vec v) {
    return out << "(" << v.x << ", " << v.y << ", " << v.z << ")";
}

inline void Set(double target[3], Vec v) {
    target[0] = v.x;
    target[1] = v.y;
    target[2] = v.z;
}

inline Vec Direction(const host::CameraRay &ray) {
    return {ray.direction[0], ray.direction[1], ray.direction[2]};
}
inline Vec Origin(const host::CameraRay &ray) {
    return {ray.origin[0], ray.origin[1], ray.origin[2]};
}

// A camera at the origin looking along +Z with +Y up, on a 2 by 2 film, unless a test moves it.
class CameraTest : public ModuleTest {
  protected:
    void SetUp() override {
        ModuleTest::SetUp();
        ActivateHandlerOrFail();
        camera = NewCamera();
        SetFrame({0, 0, 0}, {0, 1, 0}, {0, 0, 1});
        access.filmWidth = 2.0;
        access.filmHeight = 2.0;
    }

    void SetFrame(Vec position, Vec up, Vec view) {
        Set(access.position, position);
        Set(access.upAxis, up);
        Set(access.viewAxis, view);
    }

    // The camera's field of view and shifts, set the way the host sets them: through the
    // parameter service, then a time update.
    void SetCamera(double fovRadians, double hShift = 0.0, double vShift = 0.0) {
        minihost::Camera &c = CameraOf(camera);
        c.setValue(kFovChannel, fovRadians);
        c.setValue(kHShiftChannel, hShift);
        c.setValue(kVShiftChannel, vShift);
        c.setTime(host.time());
        settings = {fovRadians, hShift, vShift};
    }

    host::CameraRay Evaluate(double x, double y) {
        host::CameraRay ray;
        EXPECT_EQ(handler.record.evaluate(camera, x, y, &ray, &access), 1);
        return ray;
    }

    host::Matrix4 Preview() {
        host::Matrix4 matrix;
        for (double &element : matrix.m) {
            element = 12345.0;
        }
        EXPECT_EQ(handler.record.preview(camera, &matrix, &access), 1);
        return matrix;
    }

    // What SetCamera last set; a new camera's values until then.
    struct Settings {
        double fov = M_PI / 2;
        double hShift = 0.0;
        double vShift = 0.0;
    } settings;
    void *camera = nullptr;
    host::CameraAccess access{};
};

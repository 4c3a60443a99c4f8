#include "camera/axis_rotation.h"

#include <cmath>

void AxisRotation(const double axis[3], double angleRadians, host::Matrix4 *rotation) {
    double *m = rotation->m;
    const double length = std::sqrt(axis[0] * axis[0] + axis[1] * axis[1] + axis[2] * axis[2]);
    if (!(length > 0.0) || !std::isfinite(length)) {
        for (int i = 0; i < 16; ++i) {
            m[i] = (i % 5 == 0) ? 1.0 : 0.0;
        }
        return;
    }
    const double a = axis[0] / length;
    const double b = axis[1] / length;
    const double c = axis[2] / length;
    const double C = std::cos(angleRadians);
    const double S = std::sin(angleRadians);
    const double T = 1.0 - C;
    m[0] = C + T * a * a;
    m[1] = T * a * b + S * c;
    m[2] = T * a * c - S * b;
    m[3] = 0.0;
    m[4] = T * a * b - S * c;
    m[5] = C + T * b * b;
    m[6] = T * b * c + S * a;
    m[7] = 0.0;
    m[8] = T * a * c + S * b;
    m[9] = T * b * c - S * a;
    m[10] = C + T * c * c;
    m[11] = 0.0;
    m[12] = 0.0;
    m[13] = 0.0;
    m[14] = 0.0;
    m[15] = 1.0;
}

Vec3 ApplyRotation(const host::Matrix4 &rotation, Vec3 w) {
    const double *m = rotation.m;
    return Vec3{m[0] * w.x + m[4] * w.y + m[8] * w.z, m[1] * w.x + m[5] * w.y + m[9] * w.z,
                m[2] * w.x + m[6] * w.y + m[10] * w.z};
}

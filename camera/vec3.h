#pragma once

// A direction or position in the host's world, in the host's units.
struct Vec3 {
    double x, y, z;
};

inline Vec3 operator+(Vec3 a, Vec3 b) {
    return Vec3{a.x + b.x, a.y + b.y, a.z + b.z};
}

inline Vec3 operator*(double s, Vec3 v) {
    return Vec3{s * v.x, s * v.y, s * v.z};
}

inline double Dot(Vec3 a, Vec3 b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

inline Vec3 Cross(Vec3 a, Vec3 b) {
    return Vec3{a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

inline Vec3 ToVec3(const double v[3]) {
    return Vec3{v[0], v[1], v[2]};
}

#include "camera/camera_instance.h"
#include "camera_fixture.h"

#include <cstring>
#include <random>

namespace {

using RayTest = CameraTest;

const double kQuarterPi = M_PI / 4;

// The direction an equidistant fisheye looks in for an orthonormal frame, written from the
// geometry rather than from the module's rotations.
Vec ClosedForm(Vec up, Vec view, double offAxisRadians, double polarRadians) {
    const Vec right = Cross(up, view);
    return std::cos(offAxisRadians) * view +
           std::sin(offAxisRadians) *
               (std::cos(polarRadians) * right + std::sin(polarRadians) * up);
}

TEST_F(RayTest, FisheyeDirectionsOnTheUnitFrame) {
    struct Case {
        const char *what;
        double fov, hShift, vShift, x, y;
        Vec direction;
    };
    const double s = std::sin(kQuarterPi), c = std::cos(kQuarterPi);
    const double corner = std::sqrt(2.0) / 2 * (M_PI / 2);
    const Case cases[] = {
        {"centre", M_PI / 2, 0, 0, 0, 0, {0, 0, 1}},
        {"right", M_PI / 2, 0, 0, 1, 0, {s, 0, c}},
        {"top", M_PI / 2, 0, 0, 0, 1, {0, s, c}},
        {"left", M_PI / 2, 0, 0, -1, 0, {-s, 0, c}},
        {"bottom", M_PI / 2, 0, 0, 0, -1, {0, -s, c}},
        {"diagonal",
         M_PI / 2,
         0,
         0,
         1,
         1,
         {std::sin(corner) * std::cos(kQuarterPi), std::sin(corner) * std::sin(kQuarterPi),
          std::cos(corner)}},
        {"half shift: left edge looks ahead", M_PI / 2, 0.5, 0, -1, 0, {0, 0, 1}},
        {"half shift: centre looks right", M_PI / 2, 0.5, 0, 0, 0, {s, 0, c}},
        {"vertical shift", M_PI / 2, 0, 0.25, 0, -0.5, {0, 0, 1}},
        {"180 degrees: top edge at right angles", M_PI, 0, 0, 0, 1, {0, 1, 0}},
        {"360 degrees: top edge looks back", 2 * M_PI, 0, 0, 0, 1, {0, 0, -1}},
    };
    for (const Case &k : cases) {
        SetCamera(k.fov, k.hShift, k.vShift);
        const host::CameraRay ray = Evaluate(k.x, k.y);
        EXPECT_LT(Distance(Direction(ray), k.direction), 1e-15)
            << k.what << ": got " << Direction(ray);
        EXPECT_EQ(std::memcmp(ray.direction, ray.directionCopy, sizeof ray.direction), 0) << k.what;
    }
}

// The host cannot see a store into the instance, but render threads calling at once would race
// on it; so this test reads the module's record itself.
TEST_F(RayTest, NothingIsWrittenIntoTheInstance) {
    const CameraInstance before = *static_cast<const CameraInstance *>(camera);
    access.filmWidth = 3.0;
    Evaluate(0.3, 0.2);
    EXPECT_EQ(std::memcmp(&before, camera, sizeof before), 0);
}

TEST_F(RayTest, AxisLengthDoesNotTurnFurther) {
    SetCamera(1.3);
    const Vec up{0.6, 0.8, 0.0};
    const Vec view{0.0, 0.0, 1.0};
    SetFrame({1, 2, 3}, up, view);
    const host::CameraRay unit = Evaluate(0.4, -0.7);
    SetFrame({1, 2, 3}, 2.0 * up, view);
    const host::CameraRay longUp = Evaluate(0.4, -0.7);
    EXPECT_LT(Distance(Direction(longUp), Direction(unit)), 1e-15) << Direction(longUp);
    // The viewing axis is rotated, not normalised: twice as long in, twice as long out.
    SetFrame({1, 2, 3}, up, 2.0 * view);
    const host::CameraRay longView = Evaluate(0.4, -0.7);
    EXPECT_LT(Distance(Direction(longView), 2.0 * Direction(unit)), 2e-15) << Direction(longView);
}

// A uniformly random orthonormal frame: up and view at right angles.
void RandomFrame(std::mt19937_64 &random, Vec *up, Vec *view) {
    std::normal_distribution<double> normal;
    Vec a{normal(random), normal(random), normal(random)};
    Vec b{normal(random), normal(random), normal(random)};
    *view = (1.0 / Length(a)) * a;
    Vec across = Cross(*view, b);
    *up = (1.0 / Length(across)) * Cross(across, *view);
}

TEST_F(RayTest, RandomFramesAndFilmPositionsMatchTheGeometry) {
    std::mt19937_64 random(20261211);
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    std::uniform_real_distribution<double> fovs(0.1, 2 * M_PI);
    for (int i = 0; i < 2000; ++i) {
        Vec up, view;
        RandomFrame(random, &up, &view);
        const Vec position{100 * unit(random), 100 * unit(random), 100 * unit(random)};
        SetFrame(position, up, view);
        access.filmWidth = 0.5 + std::abs(unit(random)) * 2;
        access.filmHeight = 0.5 + std::abs(unit(random)) * 2;
        host.log.clear();
        const double fov = fovs(random);
        const double hShift = 0.5 * unit(random);
        SetCamera(fov, hShift, 0.5 * unit(random));
        const double x = unit(random) * access.filmWidth / 2;
        const double y = unit(random) * access.filmHeight / 2;

        const host::CameraRay ray = Evaluate(x, y);
        const double sx = x + settings.hShift * access.filmWidth;
        const double sy = y + settings.vShift * access.filmHeight;
        const double offAxis = std::hypot(sx, sy) / access.filmHeight * settings.fov;
        const double polar = std::atan2(sy, sx);
        const Vec direction = Direction(ray);
        const std::string context = "sample " + std::to_string(i) + ": fov " +
                                    std::to_string(settings.fov) + ", film (" + std::to_string(x) +
                                    ", " + std::to_string(y) + ")";

        EXPECT_EQ(Origin(ray).x, position.x) << context;
        EXPECT_EQ(Origin(ray).y, position.y) << context;
        EXPECT_EQ(Origin(ray).z, position.z) << context;
        EXPECT_NEAR(Length(direction), 1.0, 1e-14) << context;
        EXPECT_LT(Distance(direction, ClosedForm(up, view, offAxis, polar)), 1e-13) << context;
        if (offAxis <= M_PI) {
            // Equidistant: the angle from the viewing axis grows linearly with the radius.
            EXPECT_NEAR(std::acos(std::fmax(-1.0, std::fmin(1.0, Dot(direction, view)))), offAxis,
                        1e-7)
                << context;
        }
    }
}

TEST_F(RayTest, TopAndBottomEdgesSitAtHalfTheFieldOfView) {
    std::mt19937_64 random(7);
    std::uniform_real_distribution<double> fovs(0.05, M_PI);
    for (int i = 0; i < 200; ++i) {
        Vec up, view;
        RandomFrame(random, &up, &view);
        SetFrame({0, 0, 0}, up, view);
        access.filmHeight = 0.2 + i * 0.01;
        host.log.clear();
        SetCamera(fovs(random));
        for (double edge : {-0.5, 0.5}) {
            const Vec direction = Direction(Evaluate(0.0, edge * access.filmHeight));
            EXPECT_NEAR(std::acos(Dot(direction, view)), settings.fov / 2, 1e-7)
                << "fov " << settings.fov << ", edge " << edge;
            // The top edge turns towards up, the bottom edge away from it.
            EXPECT_GT(edge * Dot(direction, up), 0.0) << "fov " << settings.fov;
        }
    }
}

TEST_F(RayTest, DegenerateInputGivesAFiniteRayAlongTheViewingAxis) {
    const double inf = INFINITY;
    const double nan = NAN;
    struct Case {
        const char *what;
        double fov, filmWidth, filmHeight, hShift;
        Vec up, view;
        Vec expected;
    };
    const Case cases[] = {
        {"zero film height", M_PI / 2, 2, 0, 0, {0, 1, 0}, {0, 0, 1}, {0, 0, 1}},
        {"infinite film height", M_PI / 2, 2, inf, 0, {0, 1, 0}, {0, 0, 1}, {0, 0, 1}},
        {"film height not a number", M_PI / 2, 2, nan, 0, {0, 1, 0}, {0, 0, 1}, {0, 0, 1}},
        {"fov not a number", nan, 2, 2, 0, {0, 1, 0}, {0, 0, 1}, {0, 0, 1}},
        {"infinite fov", inf, 2, 2, 0, {0, 1, 0}, {0, 0, 1}, {0, 0, 1}},
        {"infinite film width, no shift", M_PI / 2, inf, 2, 0, {0, 1, 0}, {0, 0, 1}, {0, 0, 1}},
        {"infinite film width, shifted", M_PI / 2, inf, 2, 0.1, {0, 1, 0}, {0, 0, 1}, {0, 0, 1}},
        {"zero up axis", M_PI / 2, 2, 2, 0, {0, 0, 0}, {0, 0, 1}, {0, 0, 1}},
        {"infinite up axis", M_PI / 2, 2, 2, 0, {0, inf, 0}, {0, 0, 1}, {0, 0, 1}},
        {"up axis not a number", M_PI / 2, 2, 2, 0, {nan, 1, 0}, {0, 0, 1}, {0, 0, 1}},
        {"zero viewing axis", M_PI / 2, 2, 2, 0, {0, 1, 0}, {0, 0, 0}, {0, 0, 0}},
    };
    for (const Case &k : cases) {
        SetCamera(k.fov, k.hShift);
        access.filmWidth = k.filmWidth;
        access.filmHeight = k.filmHeight;
        SetFrame({1, 2, 3}, k.up, k.view);
        for (Vec film : {Vec{0.3, 0.4, 0}, Vec{-1, 0, 0}, Vec{0, 0, 0}}) {
            const host::CameraRay ray = Evaluate(film.x, film.y);
            const Vec d = Direction(ray);
            EXPECT_TRUE(std::isfinite(d.x) && std::isfinite(d.y) && std::isfinite(d.z))
                << k.what << " at " << film << ": " << d;
            EXPECT_LT(Distance(d, k.expected), 1e-15) << k.what << " at " << film << ": " << d;
            EXPECT_EQ(Origin(ray).z, 3.0) << k.what;
        }
    }
    // A film position too close to the centre to square has no direction to turn towards.
    for (double tiny : {1e-200, -1e-170, 4.9e-324}) {
        SetCamera(M_PI);
        access.filmWidth = 2.0;
        access.filmHeight = 2.0;
        SetFrame({1, 2, 3}, {0, 1, 0}, {0, 0, 1});
        const Vec d = Direction(Evaluate(tiny, tiny));
        EXPECT_LT(Distance(d, {0, 0, 1}), 1e-15) << "film position " << tiny << ": " << d;
    }
}

} // namespace

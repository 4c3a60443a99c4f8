#include "camera/camera_instance.h"
#include "camera_fixture.h"

namespace {

using PreviewTest = CameraTest;

const double kFar = 65000.0;

TEST_F(PreviewTest, FocalTermFollowsTheFieldOfView) {
    struct Case {
        double fov;
        double filmHeight;
        double focal;
    };
    const Case cases[] = {
        {M_PI / 3, 2, std::sqrt(3.0)},
        {M_PI / 2, 2, 1.0}, // the second branch, exactly
        {M_PI, 2, 0.5},
        {2 * M_PI, 2, 0.25},
        {std::nextafter(M_PI / 2, 0.0), 2, 1.0},
        {M_PI / 3, 1, std::sqrt(3.0) / 2},
    };
    for (const Case &k : cases) {
        SetCamera(k.fov);
        access.filmHeight = k.filmHeight;
        const host::Matrix4 p = Preview();
        const double d = k.focal;
        EXPECT_NEAR(p.m[0], d, 1e-15) << "fov " << k.fov;
        EXPECT_EQ(p.m[5], p.m[0]) << "fov " << k.fov;
        EXPECT_NEAR(p.m[10], -(kFar + d) / (kFar - d), 1e-15) << "fov " << k.fov;
        EXPECT_NEAR(p.m[14], -(2 * kFar * d) / (kFar - d), 1e-9) << "fov " << k.fov;
    }
}

TEST_F(PreviewTest, NinetyDegreesTakesTheSecondBranchExactly) {
    SetCamera(M_PI / 2);
    access.filmHeight = 2.0;
    EXPECT_EQ(Preview().m[0], 1.0);
}

TEST_F(PreviewTest, EveryElementIsWritten) {
    SetCamera(M_PI / 2, 0.25, -0.5);
    access.filmWidth = 4.0;
    access.filmHeight = 2.0;
    const host::Matrix4 p = Preview();
    EXPECT_EQ(p.m[8], 1.0);
    EXPECT_EQ(p.m[9], -1.0);
    EXPECT_EQ(p.m[11], -1.0);
    for (int i : {1, 2, 3, 4, 6, 7, 12, 13, 15}) {
        EXPECT_EQ(p.m[i], 0.0) << "element " << i;
    }
}

TEST_F(PreviewTest, FilmWidthOnlyMovesTheHorizontalShiftTerm) {
    SetCamera(M_PI / 2, 0.1, 0.2);
    access.filmWidth = 1.0;
    const host::Matrix4 narrow = Preview();
    access.filmWidth = 3.0;
    const host::Matrix4 wide = Preview();
    for (int i = 0; i < 16; ++i) {
        if (i == 8) {
            EXPECT_EQ(wide.m[i], 3.0 * narrow.m[i]);
        } else {
            EXPECT_EQ(wide.m[i], narrow.m[i]) << "element " << i;
        }
    }
}

// Nothing the host calls reads the film size back, so this test reads the module's record.
TEST_F(PreviewTest, StoresTheFilmSize) {
    access.filmWidth = 1.5;
    access.filmHeight = 0.75;
    Preview();
    const CameraInstance &values = *static_cast<const CameraInstance *>(camera);
    EXPECT_EQ(values.filmWidth, 1.5);
    EXPECT_EQ(values.filmHeight, 0.75);
}

TEST_F(PreviewTest, NarrowOrUnsetFieldOfViewStillGivesAUsableFrustum) {
    const double fovs[] = {0.0, -0.5, -M_PI, 1e-300, 1e-9, 2 * std::atan(1.0 / kFar), NAN};
    for (double fov : fovs) {
        SetCamera(fov);
        access.filmHeight = 2.0;
        const host::Matrix4 p = Preview();
        for (int i = 0; i < 16; ++i) {
            EXPECT_TRUE(std::isfinite(p.m[i])) << "fov " << fov << ", element " << i;
        }
        // Near and far planes recovered from the depth terms of the frustum.
        const double nearPlane = p.m[14] / (p.m[10] - 1.0);
        const double farPlane = p.m[14] / (p.m[10] + 1.0);
        EXPECT_GT(nearPlane, 0.0) << "fov " << fov;
        EXPECT_LT(nearPlane, farPlane) << "fov " << fov;
        EXPECT_NEAR(farPlane, kFar, 1e-6) << "fov " << fov;
        EXPECT_NEAR(p.m[0], nearPlane, 1e-9 * nearPlane) << "fov " << fov;
    }
}

TEST_F(PreviewTest, OrdinaryNarrowFieldOfViewIsNotClamped) {
    // A focal term just below the far distance still follows the field of view.
    SetCamera(2 * std::atan(1.0 / 60000.0));
    access.filmHeight = 2.0;
    EXPECT_NEAR(Preview().m[0], 60000.0, 1e-6);
}

} // namespace

#include "minihost/camera_access.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

TEST(CameraAccess, HeadingPitchAndBankTurnTheAxesAsTheHostDoes) {
    struct Case {
        const char *what;
        double heading, pitch, bank;
        double view[3];
        double up[3];
    };
    const double q = M_PI / 2;
    const Case cases[] = {
        {"unrotated", 0, 0, 0, {0, 0, 1}, {0, 1, 0}},
        {"heading turns right", q, 0, 0, {1, 0, 0}, {0, 1, 0}},
        {"negative pitch looks up", 0, -q, 0, {0, 1, 0}, {0, 0, -1}},
        {"positive pitch looks down", 0, q, 0, {0, -1, 0}, {0, 0, 1}},
        {"bank rolls the top to the right", 0, 0, q, {0, 0, 1}, {1, 0, 0}},
        {"heading after pitch", q, -q, 0, {0, 1, 0}, {-1, 0, 0}},
    };
    int checked = 0;
    for (const Case &c : cases) {
        minihost::HostItem item;
        item.heading = c.heading;
        item.pitch = c.pitch;
        item.bank = c.bank;
        item.position[1] = 7.0;
        const host::CameraAccess access = minihost::AccessFor(item, 1.5, 1.0);
        for (int i = 0; i < 3; ++i) {
            EXPECT_NEAR(access.viewAxis[i], c.view[i], 1e-15) << c.what << " view " << i;
            EXPECT_NEAR(access.upAxis[i], c.up[i], 1e-15) << c.what << " up " << i;
        }
        EXPECT_EQ(access.position[1], 7.0);
        EXPECT_EQ(access.filmWidth, 1.5);
        EXPECT_EQ(access.filmHeight, 1.0);
        ++checked;
    }
    EXPECT_EQ(checked, 6);
}

} // namespace

#include "minihost/envelope.h"

#include <gtest/gtest.h>

namespace {

TEST(Envelope, PlainValueWithoutKeys) {
    minihost::Envelope envelope;
    envelope.setValue(2.5);
    EXPECT_EQ(envelope.evaluate(-100.0), 2.5);
    EXPECT_EQ(envelope.evaluate(100.0), 2.5);
}

TEST(Envelope, LinearBetweenKeysConstantOutside) {
    minihost::Envelope envelope;
    envelope.setValue(99.0);
    envelope.setKey(2.0, 30.0);
    envelope.setKey(0.0, 10.0);
    envelope.setKey(1.0, 20.0);
    struct Case {
        double time;
        double value;
    };
    const Case cases[] = {
        {-1.0, 10.0}, {0.0, 10.0}, {0.25, 12.5}, {1.0, 20.0}, {1.5, 25.0}, {2.0, 30.0}, {7.0, 30.0},
    };
    int checked = 0;
    for (const Case &c : cases) {
        EXPECT_DOUBLE_EQ(envelope.evaluate(c.time), c.value) << "at time " << c.time;
        ++checked;
    }
    EXPECT_EQ(checked, 7);
}

TEST(Envelope, KeysAtTheEndsOfTheDoublesStayFinite) {
    struct Case {
        double firstTime, firstValue, lastTime, lastValue, time, value;
    };
    const Case cases[] = {
        {0, -1e308, 1, 1e308, 0.5, 0},
        {0, 1e308, 1, -1e308, 0.25, 5e307},
        {-1e308, 0, 1e308, 2, 0, 1},
        {-1e308, -1e308, 1e308, 1e308, 1e307, 1e307},
    };
    for (const Case &c : cases) {
        minihost::Envelope envelope;
        envelope.setKey(c.firstTime, c.firstValue);
        envelope.setKey(c.lastTime, c.lastValue);
        EXPECT_DOUBLE_EQ(envelope.evaluate(c.time), c.value) << "at time " << c.time;
    }
}

TEST(Envelope, KeyAtSameTimeReplaces) {
    minihost::Envelope envelope;
    envelope.setKey(1.0, 5.0);
    envelope.setKey(1.0, 6.0);
    ASSERT_EQ(envelope.keys().size(), 1u);
    EXPECT_EQ(envelope.evaluate(1.0), 6.0);
}

} // namespace

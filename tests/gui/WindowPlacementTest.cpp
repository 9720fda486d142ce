#include "gui/WindowPlacement.h"

#include <gtest/gtest.h>

namespace {

const QList<QRect> TwoScreens = {QRect(0, 0, 1920, 1080), QRect(1920, 0, 1280, 1024)};
const QSize DefaultSize(450, 250);

TEST(WindowPlacement, AStoredRectangleOnAScreenIsKept) {
    int32_t onSecond[4] = {2000, 100, 2600, 500};
    EXPECT_EQ(StartWindowRect(StoredWindowRect(onSecond), TwoScreens, DefaultSize),
              QRect(2000, 100, 600, 400));
    // Partly off the left edge still counts: its visible part can be grabbed.
    int32_t partly[4] = {-300, 50, 150, 300};
    EXPECT_EQ(StartWindowRect(StoredWindowRect(partly), TwoScreens, DefaultSize),
              QRect(-300, 50, 450, 250));
}

TEST(WindowPlacement, OffTheScreensTooLargeOrDamagedGivesTheDefaultSizeCentred) {
    const QRect centred(735, 415, 450, 250);
    int32_t offScreen[4] = {5000, 5000, 5400, 5300};
    EXPECT_EQ(StartWindowRect(StoredWindowRect(offScreen), TwoScreens, DefaultSize), centred);
    // Larger than the screen it lies on (the second screen is 1024 high).
    int32_t tooTall[4] = {2000, 0, 2400, 1060};
    EXPECT_EQ(StartWindowRect(StoredWindowRect(tooTall), TwoScreens, DefaultSize), centred);
    // What random bytes make of the record.
    int32_t damaged[4] = {-2147483647, 17, 32767, 32767};
    EXPECT_EQ(StoredWindowRect(damaged), std::nullopt);
    EXPECT_EQ(StartWindowRect(StoredWindowRect(damaged), TwoScreens, DefaultSize), centred);
    int32_t inverted[4] = {500, 500, 100, 100};
    EXPECT_EQ(StoredWindowRect(inverted), std::nullopt);
}

TEST(WindowPlacement, ATitleBarOffTheScreensIsMovedOntoTheScreenHoldingMostOfIt) {
    // Above the top edge: the title bar could not be grabbed.
    int32_t above[4] = {100, -200, 700, 300};
    EXPECT_EQ(StartWindowRect(StoredWindowRect(above), TwoScreens, DefaultSize),
              QRect(100, 0, 600, 500));
    // Only a sliver left on the second screen (stored with a third screen further right).
    int32_t sliver[4] = {3190, 200, 3790, 600};
    EXPECT_EQ(StartWindowRect(StoredWindowRect(sliver), TwoScreens, DefaultSize),
              QRect(2600, 200, 600, 400));
}

} // namespace

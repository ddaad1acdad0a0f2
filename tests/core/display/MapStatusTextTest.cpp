// SPDX-License-Identifier: MIT
#include "core/display/MapStatusText.h"

#include <gtest/gtest.h>

#include <tuple>

#include "core/base/PlaneConverter.h"

namespace kov {
namespace {

PlaneConverter zone9() {
    PlaneConverter converter;
    converter.setup(9, kEllipsoidGrs80);
    return converter;
}

TEST(MapStatusText, PanesForAPoint) {
    const PlaneConverter converter = zone9();
    // The origin of zone 9 lies at 36°00′ N, 139°50′ E.
    StatusTexts t = statusTexts(converter, 9, 0.0, 0.0, 5.0);
    EXPECT_EQ(std::tuple(t.latLong, t.plane, t.sheet, t.elevation),
              std::tuple("B: 36:00:00.0 L: 139:50:00.0", "9系 X:       0.0 Y:       0.0 (m)",
                         "09JE903", "H:   5.0 (m)"));

    // X is the northing, Y the easting; south and west of the origin the angles are smaller.
    t = statusTexts(converter, 9, -5000.0, -35000.0, 1234.5);
    EXPECT_EQ(std::tuple(t.plane, t.sheet, t.elevation),
              std::tuple("9系 X: -35,000.0 Y:  -5,000.0 (m)", "09LD184", "H: 1,234.5 (m)"));
    EXPECT_EQ(t.latLong.substr(0, 9), "B: 35:41:");
    EXPECT_NE(t.latLong.find(" L: 139:46:"), std::string::npos) << t.latLong;

    // Water reads "  水域" (the tip below); anything below it has no elevation.
    EXPECT_EQ(elevationStatusText(-9999.5), "H: ******");
    EXPECT_EQ(elevationStatusText(-9998.7), "H: -9,998.7 (m)");

    // A fractional point is in the sheet it lies in: half a metre west of the 0 m column line
    // lies in the column to the west.
    EXPECT_EQ(
        std::tuple(sheetCodeAt(9, -0.5, 0.5), sheetCodeAt(9, 0.5, 0.5), sheetCodeAt(9, 0.5, -0.5)),
        std::tuple("09JD994", "09JE903", "09KE001"));
}

TEST(MapStatusText, QuickTipLines) {
    const PlaneConverter converter = zone9();
    EXPECT_EQ(quickTipText(converter, 9, 0.0, 0.0, 5.0),
              "B:36:00:00.0 L:139:50:00.0\r\n"
              "X:       0.0 Y:       0.0 [9系] \r\n"
              "    [ 09JE903 ]\r\n"
              "H:   5.0 (m)");
    const std::string water = quickTipText(converter, 9, 0.0, 0.0, -9999.0);
    EXPECT_EQ(water.substr(water.rfind('\n') + 1), "  水域");
}

}  // namespace
}  // namespace kov

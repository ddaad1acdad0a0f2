// SPDX-License-Identifier: MIT
// The geodetic datum of plane rectangular coordinates, and the EPSG code of a zone on it.
#pragma once

#include <string_view>

namespace kov {

enum class GeodeticDatum {
    kUnstated,  // the file does not say: taken as JGD2011, the datum of current survey data
    kJgd2011,
    kJgd2000,
    kTokyo,  // the old Japanese datum on the Bessel ellipsoid
};

// The datum a tile header names ("JGD2011", "日本測地系2000", "世界測地系", "Tokyo", …).
GeodeticDatum datumOfText(std::string_view text);
// "JGD2011", "JGD2000", "Tokyo"; empty for kUnstated.
const char* datumName(GeodeticDatum datum);
// The EPSG code of plane rectangular zone 1..19 on the datum (kUnstated as JGD2011); 0 for
// another zone.
int planeRectangularEpsg(GeodeticDatum datum, int zone);

}  // namespace kov

// SPDX-License-Identifier: MIT
#include "core/base/GeodeticDatum.h"

#include <string>

#include "core/base/PathNames.h"

namespace kov {

GeodeticDatum datumOfText(std::string_view text) {
    // ASCII letters only: std::tolower would follow the locale and could change bytes of the
    // Japanese names.
    const std::string lower = lowerAscii(std::string(text));
    const auto has = [&](std::string_view part) { return lower.find(part) != std::string::npos; };
    // The year decides first: "日本測地系2000" is JGD2000, not the old Japanese datum.
    if (has("2011")) return GeodeticDatum::kJgd2011;
    if (has("2000")) return GeodeticDatum::kJgd2000;
    // Without a year, "世界測地系" named JGD2000 before the 2011 revision.
    if (has("世界測地系")) return GeodeticDatum::kJgd2000;
    if (has("tokyo") || has("bessel") || has("日本測地系")) return GeodeticDatum::kTokyo;
    return GeodeticDatum::kUnstated;
}

const char* datumName(GeodeticDatum datum) {
    switch (datum) {
        case GeodeticDatum::kJgd2011:
            return "JGD2011";
        case GeodeticDatum::kJgd2000:
            return "JGD2000";
        case GeodeticDatum::kTokyo:
            return "Tokyo";
        case GeodeticDatum::kUnstated:
            break;
    }
    return "";
}

int planeRectangularEpsg(GeodeticDatum datum, int zone) {
    if (zone < 1 || zone > 19) return 0;
    switch (datum) {
        case GeodeticDatum::kJgd2000:
            return 2442 + zone;
        case GeodeticDatum::kTokyo:
            return 30160 + zone;
        case GeodeticDatum::kJgd2011:
        case GeodeticDatum::kUnstated:
            break;
    }
    return 6668 + zone;
}

}  // namespace kov

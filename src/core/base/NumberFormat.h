// SPDX-License-Identifier: MIT
// Number texts shown in the view, the dialogs, the legend and printing, and written to the project
// and settings files. All of them are independent of the process locale (the decimal point is
// always ".").
#pragma once

#include <string>

namespace kov {

// The value with `decimals` digits after the point and "," between groups of three digits of the
// integer part ("1,234.5"). Values beyond 1e15 in magnitude use the exponent form "%20.15e"; values
// below 1e-10 in magnitude are shown as 0.
std::string formatGrouped(double value, int decimals);

// Degrees as "d:mm:ss.s" with `decimals` digits of the seconds ("35:30:00.0"); a seconds value that
// rounds to 60 carries into the minutes and degrees. Negative values get a leading "-".
std::string formatDms(double degrees, int decimals);

// The value with at most `decimals` digits after the point (1 to 15, and never more than 15 digits
// in all), trailing zeros and a bare decimal point removed ("12.5", "200"); with `decimals` below 1
// the fraction is cut off. A text that reads as zero is "0". Magnitudes beyond 1e15 and tiny
// positive values (1e-100 to 1e-10) use the exponent form "%20.15e".
std::string formatShort(double value, int decimals);

}  // namespace kov

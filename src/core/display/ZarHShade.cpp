// SPDX-License-Identifier: MIT
#include "core/display/ZarHShade.h"

#include <cmath>
#include <numbers>

#include "core/data/ZarHColorMap.h"

namespace kov {

ZarHShade::ZarHShade(const ZarHColorMap& map)
    : ZarHShade(map.lightAzimuth, map.lightElevation, map.diffuseWeight, map.shadowLevel) {}

ZarHShade::ZarHShade(double azimuth, double elevation, double diffuseWeight, double shadowLevel) {
    constexpr double pi = std::numbers::pi;
    const double a1 = -elevation * pi / 180.0;
    const double a2 = pi - azimuth * pi / 180.0;
    light[0] = std::cos(a2 + pi / 2) * std::cos(a1);
    light[1] = std::sin(a2 + pi / 2) * std::cos(a1);
    light[2] = std::sin(a1);
    // The specular weight is 1 before both are normalised.
    const double norm = std::sqrt(diffuseWeight * diffuseWeight + 1.0);
    kd = diffuseWeight / norm;
    ks = 1.0 / norm;
    ambient = shadowLevel;
    // Looking north from 30 degrees above the horizon.
    const double b1 = -pi / 6;
    const double b2 = pi / 2;
    view[0] = std::cos(b2) * std::cos(b1);
    view[1] = std::sin(b2) * std::cos(b1);
    view[2] = std::sin(b1);
}

}  // namespace kov

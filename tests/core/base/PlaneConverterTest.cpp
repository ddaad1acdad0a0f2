// SPDX-License-Identifier: MIT
#include "core/base/PlaneConverter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <tuple>

namespace kov {
namespace {

constexpr double kDeg = std::numbers::pi / 180.0;

struct Geo {
    double lon, lat, gamma;
};

Geo convert(const PlaneConverter& pc, double east, double north) {
    const double in[3] = {east, north, 0.0};
    double out[3], gamma = 0;
    EXPECT_EQ(pc.planeToGeodetic(in, out, &gamma), 1);
    return {out[0], out[1], gamma};
}

TEST(PlaneConverter, ConvergenceHeightUnsetZonesEllipsoidsAndFootpoint) {
    PlaneConverter pc, bessel9;
    pc.setup(9, kEllipsoidGrs80);
    bessel9.setup(9, kEllipsoidBessel);
    EXPECT_EQ(convert(pc, 0.0, 100000.0).gamma, 0.0);
    const Geo east = convert(pc, 100000.0, 0.0), west = convert(pc, -100000.0, 0.0);
    EXPECT_GT(east.gamma, 0.0);
    EXPECT_EQ(west.gamma, -east.gamma);
    // Convergence is about Δλ·sin φ.
    const double lon0 = 139.0 + 50.0 / 60.0;
    EXPECT_NEAR(east.gamma, (east.lon - lon0) * kDeg * std::sin(east.lat * kDeg), 1e-5);
    const double in[3] = {100000.0, 0.0, 12.5};
    double out[3];
    pc.planeToGeodetic(in, out);  // the convergence output is optional
    EXPECT_EQ(std::tuple(out[0], out[2]), std::tuple(east.lon, 12.5));

    // An invalid zone keeps the origin; the constants still follow the ellipsoid, and an unknown
    // ellipsoid is GRS-80.
    const double grs = convert(pc, 20000.0, 30000.0).lat,
                 bessel = convert(bessel9, 20000, 30000).lat;
    PlaneConverter other = pc;
    other.setup(20, kEllipsoidGrs80);
    EXPECT_EQ(std::pair(other.zone, convert(other, 20000.0, 30000.0).lat), std::pair(20, grs));
    other.setup(0, kEllipsoidBessel);
    EXPECT_EQ(convert(other, 20000.0, 30000.0).lat, bessel);
    other.setup(9, 7);
    EXPECT_EQ(convert(other, 20000.0, 30000.0).lat, grs);

    // Within 1000 km of the origin's arc the fitted start leaves one or two rounds.
    pc.setup(11, kEllipsoidGrs80);
    int rounds = 0;
    EXPECT_NEAR(pc.meridianArc(pc.footpointLatitude(pc.s0 + 900e3, &rounds)), pc.s0 + 900e3, 1e-6);
    EXPECT_LE(rounds, 2);
    EXPECT_TRUE(std::isnan(pc.footpointLatitude(std::nan(""), &rounds)));
    EXPECT_LE(rounds, 100);
}

}  // namespace
}  // namespace kov

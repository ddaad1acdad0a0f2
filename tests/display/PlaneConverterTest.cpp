#include "display/PlaneConverter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <numbers>
#include <sstream>
#include <string>
#include <vector>

#include "support/TestSupport.h"

namespace kov {
namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kRad = 180.0 / kPi;

double originLongitude(int zone) {
    const ZoneOrigin& o = kZoneOrigins[zone - 1];
    return o.lonDegrees + o.lonMinutes / 60.0 + o.lonSeconds / 3600.0;
}
double originLatitude(int zone) {
    const ZoneOrigin& o = kZoneOrigins[zone - 1];
    return o.latDegrees + o.latMinutes / 60.0 + o.latSeconds / 3600.0;
}

struct Geo {
    double lon, lat, z, gamma;
};

Geo convert(const PlaneConverter& pc, double east, double north, double z = 0.0) {
    const double in[3] = {east, north, z};
    double out[3];
    Geo g{};
    EXPECT_EQ(pc.planeToGeodetic(in, out, &g.gamma), 1);
    g.lon = out[0];
    g.lat = out[1];
    g.z = out[2];
    return g;
}

// The inverse projection written down term by term, without any of the rearrangements of the
// converter (direct sine series, iteration from the origin latitude, plain powers of ye).
Geo referenceConvert(int zone, int ellipsoidIndex, double x, double y) {
    const Ellipsoid& el = kEllipsoids[ellipsoidIndex];
    const ZoneOrigin& o = kZoneOrigins[zone - 1];
    const double phi0 = (o.latDegrees + o.latMinutes / 60.0 + o.latSeconds / 3600.0) * kPi / 180;
    const double lambda0 = (o.lonDegrees + o.lonMinutes / 60.0 + o.lonSeconds / 3600.0) * kPi / 180;
    const double F = el.invF, a = el.a;
    const double e2 = (2 * F - 1) / (F * F);
    double e[9];  // e[k] = e^(2k)
    e[0] = 1;
    for (int k = 1; k <= 8; ++k)
        e[k] = e[k - 1] * e2;
    const double A = 1 + 3. / 4 * e[1] + 45. / 64 * e[2] + 175. / 256 * e[3] +
                     11025. / 16384 * e[4] + 43659. / 65536 * e[5] + 693693. / 1048576 * e[6] +
                     2760615. / 4194304 * e[7] + 703956825. / 1073741824 * e[8];
    const double B = 3. / 4 * e[1] + 15. / 16 * e[2] + 525. / 512 * e[3] + 2205. / 2048 * e[4] +
                     72765. / 65536 * e[5] + 297297. / 262144 * e[6] + 19324305. / 16777216 * e[7] +
                     78217425. / 67108864 * e[8];
    const double C = 15. / 64 * e[2] + 105. / 256 * e[3] + 2205. / 4096 * e[4] +
                     10395. / 16384 * e[5] + 1486485. / 2097152 * e[6] + 6441435. / 8388608 * e[7] +
                     109504395. / 134217728 * e[8];
    const double D = 35. / 512 * e[3] + 315. / 2048 * e[4] + 31185. / 131072 * e[5] +
                     165165. / 524288 * e[6] + 6441435. / 16777216 * e[7] +
                     29864835. / 67108864 * e[8];
    const double E = 315. / 16384 * e[4] + 3465. / 65536 * e[5] + 99099. / 1048576 * e[6] +
                     585585. / 4194304 * e[7] + 49774725. / 268435456 * e[8];
    const double Fc = 693. / 131072 * e[5] + 9009. / 524288 * e[6] + 585585. / 16777216 * e[7] +
                      3828825. / 67108864 * e[8];
    const double G = 3003. / 2097152 * e[6] + 45045. / 8388608 * e[7] + 1640925. / 134217728 * e[8];
    const double H = 6435. / 16777216 * e[7] + 109395. / 67108864 * e[8];
    const double I = 109395. / 1073741824 * e[8];
    auto S = [&](double p) {
        return a * (1 - e2) *
               (A * p - B / 2 * std::sin(2 * p) + C / 4 * std::sin(4 * p) -
                D / 6 * std::sin(6 * p) + E / 8 * std::sin(8 * p) - Fc / 10 * std::sin(10 * p) +
                G / 12 * std::sin(12 * p) - H / 14 * std::sin(14 * p) + I / 16 * std::sin(16 * p));
    };
    const double m0 = 0.9999;
    const double M = y / m0 + S(phi0);
    const double ye = x / m0;
    double phi = phi0;
    for (int round = 0; round < 100; ++round) {
        const double delta = S(phi) - M;
        const double w = 1 - e2 * std::sin(phi) * std::sin(phi);
        const double step =
            2 * delta * std::pow(w, 1.5) /
            (3 * e2 * delta * std::sin(phi) * std::cos(phi) * std::sqrt(w) - 2 * a * (1 - e2));
        phi += step;
        if (std::fabs(step) < 1e-14) break;
    }
    const double t = std::tan(phi);
    const double eta2 = e2 / (1 - e2) * std::cos(phi) * std::cos(phi);
    const double N = a / std::sqrt(1 - e2) / std::sqrt(1 + eta2);
    const double cp = std::cos(phi);
    const double t2 = t * t, t4 = t2 * t2, t6 = t4 * t2, h2 = eta2, h4 = eta2 * eta2;
    Geo g{};
    g.lat =
        phi - t * (1 + h2) / (2 * std::pow(N, 2)) * std::pow(ye, 2) +
        t * (5 + 3 * t2 + 6 * h2 - 6 * t2 * h2 - 3 * h4 - 9 * t2 * h4) / (24 * std::pow(N, 4)) *
            std::pow(ye, 4) -
        t * (61 + 90 * t2 + 45 * t4 + 107 * h2 - 162 * t2 * h2 - 45 * t4 * h2) /
            (720 * std::pow(N, 6)) * std::pow(ye, 6) +
        t * (1385 + 3633 * t2 + 4095 * t4 + 1575 * t6) / (40320 * std::pow(N, 8)) * std::pow(ye, 8);
    g.lon = lambda0 + ye / (N * cp) -
            (1 + 2 * t2 + h2) / (6 * std::pow(N, 3) * cp) * std::pow(ye, 3) +
            (5 + 28 * t2 + 24 * t4 + 6 * h2 + 8 * t2 * h2) / (120 * std::pow(N, 5) * cp) *
                std::pow(ye, 5) -
            (61 + 662 * t2 + 1320 * t4 + 720 * t6) / (5040 * std::pow(N, 7) * cp) * std::pow(ye, 7);
    g.gamma = t * ye / N - t * (1 + t2 - h2) / (3 * std::pow(N, 3)) * std::pow(ye, 3) +
              t * (1 + t2) * (2 + 3 * t2) / (15 * std::pow(N, 5)) * std::pow(ye, 5);
    g.lat *= kRad;
    g.lon *= kRad;
    return g;
}

TEST(PlaneConverterTables, EllipsoidsAndZoneOrigins) {
    EXPECT_STREQ(kEllipsoids[kEllipsoidBessel].name, "Bessel");
    EXPECT_EQ(kEllipsoids[kEllipsoidBessel].a, 6377397.155);
    EXPECT_EQ(kEllipsoids[kEllipsoidBessel].invF, 299.152813);
    EXPECT_STREQ(kEllipsoids[kEllipsoidGrs80].name, "GRS-80");
    EXPECT_EQ(kEllipsoids[kEllipsoidGrs80].a, 6378137.0);
    EXPECT_EQ(kEllipsoids[kEllipsoidGrs80].invF, 298.257222101);
    EXPECT_DOUBLE_EQ(kEllipsoids[kEllipsoidGrs80].f * 298.257222101, 1.0);
    // A few rows that are easy to get wrong.
    EXPECT_DOUBLE_EQ(originLongitude(3), 132.0 + 10.0 / 60.0);
    EXPECT_DOUBLE_EQ(originLatitude(11), 44.0);
    EXPECT_DOUBLE_EQ(originLongitude(11), 140.25);
    EXPECT_DOUBLE_EQ(originLatitude(18), 20.0);
    EXPECT_DOUBLE_EQ(originLongitude(19), 154.0);
}

TEST(PlaneConverterSetup, DerivedConstantsOfGrs80) {
    PlaneConverter pc;
    pc.setup(9, kEllipsoidGrs80);
    EXPECT_EQ(pc.zone, 9);
    EXPECT_EQ(pc.ellipsoid, kEllipsoidGrs80);
    EXPECT_STREQ(pc.ellipsoidRow.name, "GRS-80");
    EXPECT_NEAR(pc.e2, 0.00669438002290, 1e-14);
    EXPECT_NEAR(pc.ep2, 0.00673949677548, 1e-14);
    EXPECT_NEAR(pc.c, 6399593.6259, 1e-4);
    EXPECT_DOUBLE_EQ(pc.ePow[7], std::pow(pc.e2, 8));
    EXPECT_DOUBLE_EQ(pc.phi0, 36.0 * kPi / 180.0);
    EXPECT_DOUBLE_EQ(pc.lambda0, (139.0 + 50.0 / 60.0) * kPi / 180.0);
    EXPECT_DOUBLE_EQ(pc.s0, pc.meridianArc(pc.phi0));
    // One degree of meridian around 36° N is about 110.95 km.
    EXPECT_NEAR(pc.meridianArc(36.5 * kPi / 180) - pc.meridianArc(35.5 * kPi / 180), 110950, 20);
    EXPECT_EQ(pc.meridianArc(0.0), 0.0);
}

TEST(PlaneConverterConvert, ZoneOriginIsTheOriginWithZeroConvergence) {
    PlaneConverter pc;
    for (int zone = 1; zone <= kZoneCount; ++zone) {
        pc.setup(zone, kEllipsoidGrs80);
        const Geo g = convert(pc, 0.0, 0.0, 12.5);
        EXPECT_DOUBLE_EQ(g.lat, originLatitude(zone)) << "zone " << zone;
        EXPECT_DOUBLE_EQ(g.lon, originLongitude(zone)) << "zone " << zone;
        EXPECT_EQ(g.z, 12.5);
        EXPECT_EQ(g.gamma, 0.0);
    }
    pc.setup(9, kEllipsoidGrs80);
    const Geo g = convert(pc, 0.0, 0.0);
    EXPECT_NEAR(g.lat, 36.0, 1e-13);
    EXPECT_NEAR(g.lon, 139.0 + 50.0 / 60.0, 1e-13);
}

TEST(PlaneConverterConvert, DirectionsAndConvergenceSign) {
    PlaneConverter pc;
    pc.setup(9, kEllipsoidGrs80);
    const double lat0 = 36.0, lon0 = 139.0 + 50.0 / 60.0;

    const Geo east = convert(pc, 100000.0, 0.0);
    EXPECT_GT(east.lon, lon0 + 1.0);  // 100 km is about 1.11° of longitude at 36° N
    EXPECT_LT(east.lon, lon0 + 1.2);
    EXPECT_LT(east.lat, lat0);  // the grid line bends away from the pole
    EXPECT_GT(east.lat, lat0 - 0.02);
    EXPECT_GT(east.gamma, 0.0);
    // Convergence is about Δλ·sin φ.
    EXPECT_NEAR(east.gamma, (east.lon - lon0) / kRad * std::sin(36.0 / kRad), 1e-3);

    const Geo west = convert(pc, -100000.0, 0.0);
    EXPECT_LT(west.lon, lon0);
    EXPECT_NEAR(west.lon - lon0, lon0 - east.lon, 1e-12);  // symmetric about the meridian
    EXPECT_DOUBLE_EQ(west.lat, east.lat);
    EXPECT_LT(west.gamma, 0.0);

    const Geo north = convert(pc, 0.0, 100000.0);
    EXPECT_NEAR(north.lon, lon0, 1e-12);
    EXPECT_GT(north.lat, lat0 + 0.89);  // about 0.9° per 100 km
    EXPECT_LT(north.lat, lat0 + 0.91);
    EXPECT_EQ(north.gamma, 0.0);
    const Geo south = convert(pc, 0.0, -100000.0);
    EXPECT_LT(south.lat, lat0 - 0.89);

    // The convergence output is optional.
    const double in[3] = {100000.0, 0.0, 3.0};
    double out[3];
    EXPECT_EQ(pc.planeToGeodetic(in, out), 1);
    EXPECT_EQ(out[0], east.lon);
    EXPECT_EQ(out[1], east.lat);
    EXPECT_EQ(out[2], 3.0);
}

TEST(PlaneConverterConvert, BesselAndGrs80Differ) {
    PlaneConverter grs, bessel;
    grs.setup(9, kEllipsoidGrs80);
    bessel.setup(9, kEllipsoidBessel);
    EXPECT_EQ(bessel.ellipsoid, kEllipsoidBessel);
    EXPECT_STREQ(bessel.ellipsoidRow.name, "Bessel");
    EXPECT_NE(grs.e2, bessel.e2);
    const Geo g = convert(grs, 50000.0, 80000.0);
    const Geo b = convert(bessel, 50000.0, 80000.0);
    // Same plane point, different ellipsoid: a few metres apart on the ground.
    EXPECT_GT(std::fabs(g.lat - b.lat), 1e-6);
    EXPECT_LT(std::fabs(g.lat - b.lat), 1e-3);
    EXPECT_LT(std::fabs(g.lon - b.lon), 1e-3);
    // An unknown ellipsoid index falls back to GRS-80.
    PlaneConverter other;
    other.setup(9, 7);
    EXPECT_EQ(other.ellipsoid, kEllipsoidGrs80);
    EXPECT_EQ(convert(other, 50000.0, 80000.0).lat, g.lat);
}

TEST(PlaneConverterSetup, InvalidZoneKeepsTheOriginAndRecomputesConstants) {
    PlaneConverter fresh;  // never set up: origin 0, 0
    EXPECT_EQ(fresh.zone, 0);
    Geo g = convert(fresh, 0.0, 0.0);
    EXPECT_EQ(g.lat, 0.0);
    EXPECT_EQ(g.lon, 0.0);

    PlaneConverter pc;
    pc.setup(9, kEllipsoidGrs80);
    const Geo before = convert(pc, 20000.0, 30000.0);
    for (int zone : {0, 20, -1}) {
        pc.setup(zone, kEllipsoidGrs80);
        EXPECT_EQ(pc.zone, zone);
        g = convert(pc, 20000.0, 30000.0);
        EXPECT_EQ(g.lat, before.lat);
        EXPECT_EQ(g.lon, before.lon);
    }
    // The constants still follow the ellipsoid.
    pc.setup(25, kEllipsoidBessel);
    EXPECT_EQ(pc.ellipsoid, kEllipsoidBessel);
    EXPECT_NEAR(pc.phi0 * kRad, 36.0, 1e-12);
    g = convert(pc, 0.0, 0.0);
    EXPECT_NEAR(g.lat, 36.0, 1e-12);
    EXPECT_NEAR(convert(pc, 20000.0, 30000.0).lat,
                referenceConvert(9, kEllipsoidBessel, 20000.0, 30000.0).lat, 1e-12);
}

TEST(PlaneConverterConvert, MatchesTheTermByTermSeries) {
    // Near and far points for every zone and both ellipsoids, including arcs beyond the range
    // where the iteration gets its close starting value.
    const double offsets[] = {-1.6e6, -400e3, -150e3, -12345.678, 0.0, 1.5, 99999.0, 300e3, 1.2e6};
    PlaneConverter pc;
    double worst = 0.0;
    for (int el = 0; el < kEllipsoidCount; ++el) {
        for (int zone = 1; zone <= kZoneCount; ++zone) {
            pc.setup(zone, el);
            for (double north : offsets) {
                for (double east : {-250e3, -60e3, 0.0, 7.25, 150e3}) {
                    const Geo g = convert(pc, east, north);
                    const Geo r = referenceConvert(zone, el, east, north);
                    worst = std::max({worst, std::fabs(g.lat - r.lat), std::fabs(g.lon - r.lon)});
                    ASSERT_NEAR(g.lat, r.lat, 1e-12)
                        << zone << " " << el << " " << east << " " << north;
                    ASSERT_NEAR(g.lon, r.lon, 1e-12)
                        << zone << " " << el << " " << east << " " << north;
                    ASSERT_NEAR(g.gamma, r.gamma, 1e-14);
                }
            }
        }
    }
    RecordProperty("max_deviation_degrees", std::to_string(worst));
}

TEST(PlaneConverterFootpoint, ConvergesToTheMeridianArc) {
    PlaneConverter pc;
    pc.setup(11, kEllipsoidGrs80);
    int rounds = 0;
    // Near the origin a single confirming round suffices; far away the iteration still gets there.
    for (double u : {-700e3, -150e3, -1.0, 0.0, 42.0, 150e3, 900e3}) {
        const double phi = pc.footpointLatitude(pc.s0 + u, &rounds);
        EXPECT_NEAR(pc.meridianArc(phi), pc.s0 + u, 1e-6);
        EXPECT_LE(rounds, 2) << u;
    }
    for (double u : {-4000e3, 3000e3}) {
        const double phi = pc.footpointLatitude(pc.s0 + u, &rounds);
        EXPECT_NEAR(pc.meridianArc(phi), pc.s0 + u, 1e-6);
        EXPECT_LT(rounds, 100);
    }
    EXPECT_EQ(pc.footpointLatitude(pc.s0, &rounds), pc.phi0);
    EXPECT_EQ(rounds, 1);
    // Not a number: gives up instead of looping forever.
    EXPECT_TRUE(std::isnan(pc.footpointLatitude(std::nan(""), &rounds)));
    EXPECT_LE(rounds, 100);
}

// Agreement with PROJ (cs2cs) for every zone: JGD2011 plane rectangular zone n is EPSG:6668 + n,
// with "northing easting" axis order; EPSG:6668 answers "latitude longitude".
TEST(PlaneConverterProj, AgreesWithCs2csInEveryZone) {
    int status = -1;
    const std::string where = test::runCommand("command -v cs2cs", &status);
    ASSERT_TRUE(status == 0 && !where.empty())
        << "cs2cs (Debian package proj-bin) is not installed; run scripts/setup";

    test::TempDir dir;
    const double steps[] = {-150e3, -112.5e3, -75e3, -37.5e3, 0.0, 37.5e3, 75e3, 112.5e3, 150e3};
    PlaneConverter pc;
    double worstLat = 0.0, worstLon = 0.0;
    for (int zone = 1; zone <= kZoneCount; ++zone) {
        pc.setup(zone, kEllipsoidGrs80);
        std::vector<Geo> ours;
        std::string input;
        char line[128];
        for (double north : steps) {
            for (double east : steps) {
                std::snprintf(line, sizeof line, "%.3f %.3f\n", north, east);
                input += line;
                ours.push_back(convert(pc, east, north));
            }
        }
        const std::string file = dir.file("zone" + std::to_string(zone) + ".txt");
        test::writeFile(file, input);
        const std::string command = "cs2cs -f %.12f EPSG:" + std::to_string(6668 + zone) +
                                    " EPSG:6668 < '" + file + "' 2>&1";
        const std::string output = test::runCommand(command, &status);
        ASSERT_EQ(status, 0) << command << "\n" << output;

        std::istringstream lines(output);
        std::string text;
        std::size_t i = 0;
        while (std::getline(lines, text)) {
            double lat = 0.0, lon = 0.0;
            ASSERT_EQ(std::sscanf(text.c_str(), "%lf %lf", &lat, &lon), 2) << text;
            ASSERT_LT(i, ours.size());
            EXPECT_NEAR(ours[i].lat, lat, 1e-9) << "zone " << zone << " point " << i;
            EXPECT_NEAR(ours[i].lon, lon, 1e-9) << "zone " << zone << " point " << i;
            worstLat = std::max(worstLat, std::fabs(ours[i].lat - lat));
            worstLon = std::max(worstLon, std::fabs(ours[i].lon - lon));
            ++i;
        }
        EXPECT_EQ(i, ours.size()) << "zone " << zone << ": cs2cs output\n" << output;
    }
    char summary[96];
    std::snprintf(summary, sizeof summary, "%.3g / %.3g", worstLat, worstLon);
    RecordProperty("max_deviation_lat_lon_degrees", summary);
    std::printf("max deviation from PROJ: latitude %.3g deg, longitude %.3g deg\n", worstLat,
                worstLon);
}

}  // namespace
}  // namespace kov

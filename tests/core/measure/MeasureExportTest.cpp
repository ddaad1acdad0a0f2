// SPDX-License-Identifier: MIT
// The measured line written in every vector format and read back by ogr2ogr: the numbers are
// those the measuring tools show, a value the data cannot give is null.
#include "core/measure/MeasureExport.h"

#include <gtest/gtest.h>

#include <cmath>

#include "core/measure/MeasureGeometry.h"
#include "support/MeshFixtures.h"
#include "support/OgrReadBack.h"

namespace kov {
namespace {

// A number as OGR gives it back (KML keeps values as text); NaN for null or absent.
double number(const QJsonObject& properties, const char* name) {
    const QJsonValue value = properties.value(QLatin1String(name));
    if (value.isString()) return value.toString().toDouble();
    return value.isDouble() ? value.toDouble() : NAN;
}

void expectValue(double actual, std::optional<double> expected) {
    if (expected)
        EXPECT_NEAR(actual, *expected, 1e-9);
    else
        EXPECT_TRUE(std::isnan(actual)) << actual << " where null is expected";
}

TEST(MeasureExport, MeasuredLineInEveryFormatCarriesTheToolsNumbers) {
    // 40 x 24 cells of 5 m from (1000, 2000) on JGD2000 zone 9, 100 m rising 0.5 m a cell east.
    auto mesh = test::makeMesh(40, 24, 5.0, 1000, 2000, [](int c, int) { return 1000 + 5 * c; });
    mesh->datum = GeodeticDatum::kJgd2000;
    const auto owner = test::projectOf(std::move(mesh));
    HMeshProject& project = *owner;
    project.planeZone = 9;
    // East 100 m uphill, back 50 m west and 10 m north, then east off the mesh.
    const std::vector<FPoint> line = {
        {1002.5, 2002.5, 0}, {1102.5, 2002.5, 0}, {1052.5, 2012.5, 0}, {1300, 2012.5, 0}};
    const Measures shown = ComputeMeasures({line.begin(), line.end() - 1}, line.back());
    test::TempDir dir;
    for (const std::string name : {"m.geojson", "m.gpkg", "m.shp", "m.kml"}) {
        SCOPED_TRACE(name);
        std::string error;
        ASSERT_TRUE(exportMeasuredLine(project, line, dir.file(name), &error)) << error;
        const test::OgrLayer layer = test::readOgrLayer(dir.file(name));
        ASSERT_EQ(layer.features.size(), 4);
        // KML holds longitude and latitude, the others the zone's metres and its code.
        if (name != "m.kml") {
            EXPECT_EQ(layer.crs, "urn:ogc:def:crs:EPSG::2451");
            EXPECT_EQ(test::coordinatesOf(layer.features, 0)[3].toArray()[0].toDouble(), 1300.0);
        }
        const QJsonObject whole = test::propertiesOf(layer.features, 0);
        EXPECT_NEAR(number(whole, "length"), shown.total, 1e-9);
        EXPECT_NEAR(number(whole, "area"), shown.area, 1e-6);
        for (int i = 1; i <= 3; ++i) {
            SCOPED_TRACE(i);
            const QJsonObject segment = test::propertiesOf(layer.features, i);
            EXPECT_NEAR(number(segment, "length"), polylineLength({line[i - 1], line[i]}), 1e-9);
            const std::optional<Slope> slope = segmentSlope(project, {line[i - 1]}, line[i]);
            expectValue(number(segment, "slope_deg"),
                        slope ? std::optional(slope->degrees) : std::nullopt);
            expectValue(number(segment, "slope_pct"),
                        slope ? std::optional(slope->percent) : std::nullopt);
        }
        EXPECT_NEAR(number(test::propertiesOf(layer.features, 1), "dz"), 10.0, 1e-9);
        // Off the mesh the end has no elevation: no difference, no slope.
        const QJsonObject off = test::propertiesOf(layer.features, 3);
        expectValue(number(off, "z_from"), 105.0);
        expectValue(number(off, "z_to"), std::nullopt);
        expectValue(number(off, "dz"), std::nullopt);
    }
    // Two points enclose nothing: no area.
    ASSERT_TRUE(exportMeasuredLine(project, {line[0], line[1]}, dir.file("2.gpkg"), nullptr));
    const test::OgrLayer two = test::readOgrLayer(dir.file("2.gpkg"));
    expectValue(number(test::propertiesOf(two.features, 0), "area"), std::nullopt);
}

}  // namespace
}  // namespace kov

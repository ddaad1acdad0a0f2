// The measured line and the cross-section written through OGR and read back by ogr2ogr: the
// numbers are those the measuring tools and the cross-section window show, missing values null.
#include "core/measure/MeasureExport.h"

#include <gtest/gtest.h>

#include <QFileInfo>
#include <cmath>

#include "core/measure/MeasureGeometry.h"
#include "support/MeshFixtures.h"
#include "support/OgrReadBack.h"

namespace kov {
namespace {

// A number as OGR hands it back; KML keeps its values as text. NaN for null or absent.
double number(const QJsonObject& properties, const char* name) {
    const QJsonValue value = properties.value(QLatin1String(name));
    if (value.isString()) return value.toString().toDouble();
    return value.isDouble() ? value.toDouble() : NAN;
}

// 40 x 24 cells of 5 m from (1000, 2000) on JGD2000 zone 9, rising 0.5 m a cell eastwards:
// 100 m in column 0.
class MeasureExportTest : public ::testing::Test {
protected:
    void SetUp() override {
        auto mesh =
            test::makeMesh(40, 24, 5.0, 1000, 2000, [](int c, int) { return 1000 + 5 * c; });
        mesh->datum = GeodeticDatum::kJgd2000;
        project.AddMesh(mesh);
        project.UpdateExtent();
        project.planeZone = 9;
    }
    HMeshProject project;
    test::TempDir dir;
};

// East 100 m uphill, back 50 m west and 10 m north, then east off the mesh.
const std::vector<FPoint> kLine = {
    {1002.5, 2002.5, 0}, {1102.5, 2002.5, 0}, {1052.5, 2012.5, 0}, {1300, 2012.5, 0}};

TEST_F(MeasureExportTest, MeasuredLineInEveryFormatCarriesTheToolsNumbers) {
    ASSERT_EQ(collectionEpsg(project), 2451);
    const Measures shown = ComputeMeasures({kLine.begin(), kLine.end() - 1}, kLine.back());
    for (const char* name : {"m.geojson", "m.gpkg", "m.shp", "m.kml"}) {
        SCOPED_TRACE(name);
        const std::string path = dir.file(name);
        std::string error;
        ASSERT_TRUE(exportMeasuredLine(project, kLine, path, &error)) << error;
        const test::OgrLayer layer = test::readOgrLayer(path);
        ASSERT_TRUE(layer.read);
        ASSERT_EQ(layer.features.size(), 4);
        const bool kml = QFileInfo(name).suffix() == QLatin1String("kml");
        // KML holds longitude and latitude; the others the zone's own metres and code.
        if (!kml) {
            EXPECT_EQ(layer.crs, "urn:ogc:def:crs:EPSG::2451");
            const QJsonArray coordinates = test::coordinatesOf(layer.features, 0);
            ASSERT_EQ(coordinates.size(), 4);
            EXPECT_EQ(coordinates[3].toArray()[0].toDouble(), 1300.0);
            EXPECT_EQ(coordinates[2].toArray()[1].toDouble(), 2012.5);
        }
        const QJsonObject whole = test::propertiesOf(layer.features, 0);
        EXPECT_EQ(whole.value("kind").toString(), QStringLiteral("line"));
        EXPECT_NEAR(number(whole, "length"), shown.total, 1e-6);
        EXPECT_NEAR(number(whole, "area"), shown.area, 1e-6);
        EXPECT_TRUE(std::isnan(number(whole, "slope_deg")));
        for (int i = 1; i <= 3; ++i) {
            SCOPED_TRACE(i);
            const FPoint& a = kLine[i - 1];
            const FPoint& b = kLine[i];
            const QJsonObject segment = test::propertiesOf(layer.features, i);
            EXPECT_EQ(number(segment, "seq"), i);
            EXPECT_NEAR(number(segment, "length"), polylineLength({a, b}), 1e-9);
            const std::optional<Slope> slope = segmentSlope(project, {a}, b);
            EXPECT_EQ(std::isnan(number(segment, "slope_deg")), !slope);
            if (slope) {
                EXPECT_NEAR(number(segment, "slope_deg"), slope->degrees, 1e-9);
                EXPECT_NEAR(number(segment, "slope_pct"), slope->percent, 1e-9);
            }
        }
        const QJsonObject first = test::propertiesOf(layer.features, 1);
        EXPECT_NEAR(number(first, "dz"), 10.0, 1e-9);
        EXPECT_NEAR(number(first, "slope_deg"), 5.711, 5e-4);
        // Off the mesh: the end has no elevation, so neither difference nor slope.
        const QJsonObject off = test::propertiesOf(layer.features, 3);
        EXPECT_EQ(number(off, "z_from"), 105.0);
        EXPECT_TRUE(std::isnan(number(off, "z_to")) && std::isnan(number(off, "dz")));
    }
    // Two points enclose nothing: the area stays null; an unknown extension writes nothing.
    const std::string two = dir.file("two.geojson");
    ASSERT_TRUE(exportMeasuredLine(project, {kLine[0], kLine[1]}, two, nullptr));
    EXPECT_TRUE(
        std::isnan(number(test::propertiesOf(test::readOgrLayer(two).features, 0), "area")));
    std::string error;
    EXPECT_FALSE(exportMeasuredLine(project, kLine, dir.file("m.txt"), &error));
    EXPECT_NE(error.find(".geojson, .gpkg, .shp or .kml"), std::string::npos) << error;
}

TEST_F(MeasureExportTest, ProfileSamplesKeepMissingElevationsNull) {
    // From the mesh's middle eastwards past its edge at x = 1200.
    const std::vector<FPoint> line = {{1102.5, 2052.5, 0}, {1302.5, 2052.5, 0}};
    const std::optional<ProfileData> data = buildProfile(project, line, "10", 1000);
    ASSERT_TRUE(data);
    for (const char* name : {"p.gpkg", "p.geojson"}) {
        SCOPED_TRACE(name);
        const std::string path = dir.file(name);
        std::string error;
        ASSERT_TRUE(exportProfile(line, *data, 2451, path, &error)) << error;
        const bool gpkg = QFileInfo(name).suffix() == QLatin1String("gpkg");
        const test::OgrLayer samples = test::readOgrLayer(path, gpkg ? "profile_samples" : "");
        ASSERT_TRUE(samples.read);
        EXPECT_EQ(samples.crs, "urn:ogc:def:crs:EPSG::2451");
        // GeoJSON holds both layers in one collection, the line first.
        const qsizetype first = gpkg ? 0 : 1;
        ASSERT_EQ(samples.features.size(), first + qsizetype(data->samples.size()));
        int nulls = 0;
        for (size_t i = 0; i < data->samples.size(); ++i) {
            const QJsonObject p = test::propertiesOf(samples.features, first + qsizetype(i));
            EXPECT_NEAR(number(p, "distance"), data->sampleDistance(i), 1e-9);
            const bool ground = data->kindAt(i) == CellKind::Elevation;
            EXPECT_EQ(p.value("found").toString(), ground ? "ground" : "none");
            nulls += std::isnan(number(p, "elevation"));
            if (ground) {
                EXPECT_NEAR(number(p, "elevation"), data->samples[i].z, 1e-9) << i;
            }
        }
        EXPECT_EQ(nulls, 11);  // from 100 m on, beyond the edge: eleven samples 10 m apart
        const test::OgrLayer path0 = test::readOgrLayer(path, gpkg ? "profile_line" : "");
        EXPECT_NEAR(number(test::propertiesOf(path0.features, 0), "length"), 200.0, 1e-9);
    }
    // A shapefile holds lines or points, not both: refused, nothing left behind.
    std::string error;
    EXPECT_FALSE(exportProfile(line, *data, 2451, dir.file("p.shp"), &error));
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(dir.file("p.shp"))));
}

}  // namespace
}  // namespace kov

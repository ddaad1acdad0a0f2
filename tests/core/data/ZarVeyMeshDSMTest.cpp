#include "core/data/ZarVeyMeshDSM.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "core/base/HxProgress.h"
#include "core/base/MapSheet.h"
#include "core/base/TextScan.h"
#include "core/data/HxFile.h"
#include "sample/SampleData.h"
#include "sample/SampleDsm.h"
#include "support/TestSupport.h"

namespace kov {
namespace {

HxFile fileOf(const std::string& name, const std::string& text) {
    return HxFile("/dsm/" + name, std::string_view(text));
}

// One line "n,x,y,z" with CR LF.
std::string point(double x, double y, const std::string& z) {
    static int number = 0;
    char text[128];
    std::snprintf(text, sizeof text, "%d,%.3f,%.3f,%s\r\n", ++number, x, y, z.c_str());
    return text;
}

// Point at the centre of cell (c, r) of a grid with its south-west corner at (0, 0).
std::string cellPoint(int c, int r, double cell, const std::string& z) {
    return point((c + 0.5) * cell, (r + 0.5) * cell, z);
}

// No-data points that fix the extent of an unnamed file to 0..2000 x 0..1500.
const std::string kCorners = point(0, 0, "-1111") + point(1999, 1499, "-1111");

std::string extentText(int zone, double xmin, double ymin, double xmax, double ymax) {
    char text[128];
    std::snprintf(text, sizeof text, "%d: %.0f %.0f %.0f %.0f", zone, xmin, ymin, xmax, ymax);
    return text;
}

TEST(SheetRectOfCode, RowsColumnsDigitsAndQuarters) {
    const std::pair<const char*, const char*> cases[] = {
        {"09LD12", "9: -32000 -36000 -28000 -33000"},
        {"09LD184", "9: -6000 -36000 -4000 -34500"},
        {"19AXH99", "19: 156000 360000 160000 363000"},
        {"09AZE903", "9: 0 300000 2000 301500"},
        {"09ZAB12", "9: -112000 -486000 -108000 -483000"},  // row ZA, column B
        {"09ZA123", "9: -152000 -456000 -150000 -454500"},  // row Z, column A
    };
    for (const auto& [code, expected] : cases) {
        const std::optional<SheetRect> r = sheetRectOfCode(code);
        ASSERT_TRUE(r) << code;
        EXPECT_EQ(extentText(r->zone, r->xmin, r->ymin, r->xmax, r->ymax), expected);
    }
    for (const char* bad : {"", "09LD1", "20LD12", "0XLD12", "09LI12", "09LDA2", "09LD125",
                            "09LD120", "09LD1234", "09ld12", "09AWE90", "09ZFA00"})
        EXPECT_FALSE(sheetRectOfCode(bad)) << bad;
}

TEST(ZarVeyMeshDSM, FillRadiusIsAboutTwoMetres) {
    EXPECT_EQ(ZarVeyMeshDSM(-1.0).cellSize, 2.0);
    const std::pair<double, int> radii[] = {{1.0, 2}, {2.0, 1}, {50.0, 1},
                                            {0.5, 4}, {0.8, 3}, {4.0 / 3.0, 2}};
    for (const auto& [cell, radius] : radii)
        EXPECT_EQ(ZarVeyMeshDSM::fillRadius(cell), radius) << cell;
}

TEST(ZarVeyMeshDSM, ExtentFromTheNameOrFromThePoints) {
    const std::pair<const char*, const char*> cases[] = {
        {"09LD12.txt", "9: -32000 -36000 -28000 -33000"},
        {"ld123.txt", "9: -32000 -36000 -30000 -34500"},          // upper-cased, "09" in front
        {"13LD123extra.txt", "13: -32000 -36000 -30000 -34500"},  // first seven characters
        {"aze90.txt", "9: 0 300000 4000 303000"},
        {"09LD12x.txt", "9: 0 -1500 4000 3000"},  // no sheet: whole sheets around the points
        {"points.txt", "9: 0 -1500 4000 3000"},
    };
    const std::string text = point(1234.5, -10, "1") + point(3100, 1600, "2");
    for (const auto& [name, expected] : cases) {
        ZarVeyMeshDSM m(50.0);
        ASSERT_EQ(m.readDsm(fileOf(name, text), nullptr), 1) << name;
        EXPECT_EQ(extentText(m.zone, m.xmin, m.ymin, m.xmax, m.ymax), expected);
        EXPECT_EQ(m.cols * 50, m.xmax - m.xmin);
        EXPECT_EQ(m.rows * 50, m.ymax - m.ymin);
    }
    // Points outside a named sheet are dropped; the north-west cell takes its point.
    ZarVeyMeshDSM mesh(50.0);
    const std::string inAndOut = point(-31990, -33010, "5") + point(0, 0, "9");
    ASSERT_EQ(mesh.readDsm(fileOf("09LD12.txt", inAndOut), nullptr), 1);
    EXPECT_EQ(mesh.cell(0, 59), 5000);
    EXPECT_EQ(mesh.maxRaw, 5000);
}

TEST(ZarVeyMeshDSM, LastValidPointWinsAndMarksBecomeSpecialCodes) {
    const std::string text = kCorners + cellPoint(5, 5, 50, "10") + cellPoint(5, 5, 50, "20") +
                             cellPoint(10, 10, 50, "-9999") + cellPoint(10, 10, 50, "7") +
                             cellPoint(15, 15, 50, "-9999") + cellPoint(15, 15, 50, "-1111") +
                             cellPoint(20, 20, 50, "-1111.000") + cellPoint(25, 25, 50, "3") +
                             cellPoint(25, 25, 50, "-9999");
    ZarVeyMeshDSM mesh(50.0);
    ASSERT_EQ(mesh.readDsm(fileOf("p.txt", text), nullptr), 1);
    EXPECT_EQ(std::tuple(mesh.cell(5, 5), mesh.cell(10, 10), mesh.cell(15, 15), mesh.cell(20, 20),
                         mesh.cell(25, 25)),
              std::tuple(20000, 7000, MESH_WATER, MESH_NODATA, 3000));
    // Water and no-data cells neither feed their neighbours nor get filled themselves.
    EXPECT_EQ(std::tuple(mesh.cell(16, 15), mesh.cell(21, 21), mesh.cell(11, 11)),
              std::tuple(MESH_NODATA, MESH_NODATA, 7000));
    EXPECT_EQ(std::pair(mesh.minRaw, mesh.maxRaw), std::pair(3000, 20000));
}

TEST(ZarVeyMeshDSM, NumbersRoundClampAndFollowTheSharedDecimalRule) {
    const std::pair<const char*, int> cases[] = {
        {"12.3456", 12345},  {"-0.0019", -1},      {"+2.5", 2500}, {".25", 250},
        {"1e99", INT32_MAX}, {"-1e99", INT32_MIN}, {"abc", 0},     {"0.1250000000000000001", 125}};
    std::string text = kCorners;
    for (size_t i = 0; i < std::size(cases); ++i)
        text += cellPoint(static_cast<int>(i), 1, 50, cases[i].first);
    ZarVeyMeshDSM mesh(50.0);
    ASSERT_EQ(mesh.readDsm(fileOf("p.txt", text), nullptr), 1);
    for (size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(mesh.cell(static_cast<int>(i), 1), cases[i].second) << cases[i].first;
    unsigned long long state = 99;
    for (int i = 0; i < 2000; ++i) {
        state = state * 6364136223846793005ULL + 1442695040888963407ULL;
        char field[64];
        std::snprintf(field, sizeof field, "%lld.%0*llu",
                      static_cast<long long>(state >> 34) - (1LL << 29),
                      static_cast<int>(state % 9) + 1, (state >> 8) % 1000000000ULL);
        EXPECT_EQ(ZarVeyMeshDSM::parseNumber(field), parseLeadingDouble(field)) << field;
    }
}

TEST(ZarVeyMeshDSM, EmptyCellsTakeTheMeanOfTheNearestRing) {
    // Cell size 1 m: radius 2. Sources 1 m (column 100) and 5 m (column 104) on row 100.
    const std::string text = kCorners + cellPoint(100, 100, 1, "1") + cellPoint(104, 100, 1, "5") +
                             cellPoint(300, 300, 1, "0.125") + cellPoint(301, 300, 1, "0.25");
    ZarVeyMeshDSM fine(1.0);
    ASSERT_EQ(fine.readDsm(fileOf("p.txt", text), nullptr), 1);
    // (101, 100): the 5 m point two cells away does not count; (102, 100): nothing at radius 1,
    // both at radius 2; (102, 103): only filled cells around it; 187.5 rounds away from zero.
    EXPECT_EQ(std::tuple(fine.cell(101, 100), fine.cell(102, 100), fine.cell(102, 103),
                         fine.cell(98, 98), fine.cell(97, 100), fine.cell(300, 301)),
              std::tuple(1000, 3000, MESH_NODATA, 1000, MESH_NODATA, 188));

    ZarVeyMeshDSM coarse(2.0);  // radius 1 on 2 m cells: column 100 m is cell 50
    ASSERT_EQ(coarse.readDsm(fileOf("p.txt", text), nullptr), 1);
    EXPECT_EQ(std::pair(coarse.cell(51, 50), coarse.cell(48, 50)), std::pair(3000, MESH_NODATA));
}

TEST(ZarVeyMeshDSM, GapFillingAgreesWithASearchCellByCell) {
    unsigned long long state = 7;
    auto next = [&state](int range) {
        state = state * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<int>((state >> 33) % static_cast<unsigned>(range));
    };
    for (int round = 0; round < 100; ++round) {
        const int cols = 1 + next(25), rows = 1 + next(25), radius = 1 + next(4);
        const int density = 1 + next(40);  // percent of cells with points
        std::vector<int32_t> codes(static_cast<size_t>(cols) * rows);
        std::vector<uint8_t> hit(codes.size());
        for (size_t i = 0; i < codes.size(); ++i) {
            hit[i] = next(100) < density;
            const int kind = next(10);
            codes[i] = kind == 0 ? MESH_WATER : kind == 1 ? MESH_NODATA : next(2000001) - 1000000;
        }
        std::vector<int32_t> expected = codes;
        for (int i = 0; i < cols * rows; ++i) {
            const int x = i % cols, y = i / cols;
            for (int r = 1; r <= radius && !hit[i]; ++r) {
                long long sum = 0, count = 0;
                for (int j = 0; j < cols * rows; ++j) {
                    const bool near = std::abs(j % cols - x) <= r && std::abs(j / cols - y) <= r;
                    if (near && hit[j] && !isSpecialCode(codes[j])) sum += codes[j], ++count;
                }
                if (count == 0) continue;
                expected[i] = static_cast<int32_t>(std::lround(double(sum) / count));
                break;
            }
        }
        ZarVeyMeshDSM::fillGaps(codes.data(), hit.data(), cols, rows, radius);
        ASSERT_EQ(codes, expected) << cols << " x " << rows << " radius " << radius;
    }
}

TEST(ZarVeyMeshDSM, RejectsGridsBeyondTheLimitAndEmptyFiles) {
    ZarVeyMeshDSM huge(0.5);
    EXPECT_EQ(huge.readDsm(fileOf("p.txt", point(0, 0, "1") + point(1e9, 1e3, "1")), nullptr), 0);
    EXPECT_EQ(huge.readDsm(fileOf("p.txt", point(0, 0, "1") + point(1e99, 1e3, "1")), nullptr), 0);
    EXPECT_TRUE(huge.cells.empty());

    ZarVeyMeshDSM limited(50.0);  // a 40 x 30 grid
    limited.setCellLimit(1199);
    EXPECT_EQ(limited.readDsm(fileOf("p.txt", kCorners), nullptr), 0);
    limited.setCellLimit(1200);
    EXPECT_EQ(limited.readDsm(fileOf("p.txt", kCorners), nullptr), 1);

    ZarVeyMeshDSM empty(2.0);
    EXPECT_EQ(empty.readDsm(fileOf("p.txt", "1,2,3\n\n"), nullptr), 0);
    // All points on a sheet line give an empty extent.
    EXPECT_EQ(empty.readDsm(fileOf("p.txt", point(2000, 10, "1")), nullptr), 0);
}

// Records the positions reported and cancels at call number cancelAt (0: never).
class RecordingProgress : public HxProgress {
public:
    int SetPos(long long current, long long total) override {
        positions.push_back(current);
        totals.push_back(total);
        return static_cast<int>(positions.size()) == cancelAt;
    }
    std::vector<long long> positions, totals;
    int cancelAt = 0;
};

TEST(ZarVeyMeshDSM, ReportsProgressEvery4096LinesAndStopsOnCancel) {
    std::string text;
    std::vector<long long> lineEnds;
    for (int i = 0; i < 10000; ++i) {
        text += point(-31000 + i % 100, -34000 + i / 100, "1");
        lineEnds.push_back(static_cast<long long>(text.size()));
    }
    const long long length = static_cast<long long>(text.size());
    const std::vector<long long> pass = {lineEnds[0], lineEnds[4096], lineEnds[8192]};
    RecordingProgress named, unnamed;  // a file without a sheet name is read twice
    ZarVeyMeshDSM mesh(10.0);
    ASSERT_EQ(mesh.readDsm(fileOf("09LD12.txt", text), &named), 1);
    EXPECT_EQ(named.positions, pass);
    EXPECT_EQ(named.totals, std::vector<long long>(3, length));
    ASSERT_EQ(mesh.readDsm(fileOf("points.txt", text), &unnamed), 1);
    EXPECT_EQ(unnamed.positions,
              (std::vector<long long>{pass[0], pass[1], pass[2], pass[0] + length, pass[1] + length,
                                      pass[2] + length}));
    EXPECT_EQ(unnamed.totals, std::vector<long long>(6, 2 * length));
    for (int cancelAt : {1, 5}) {
        RecordingProgress progress;
        progress.cancelAt = cancelAt;
        ZarVeyMeshDSM cancelled(10.0);
        EXPECT_EQ(cancelled.readDsm(fileOf("points.txt", text), &progress), 0);
        EXPECT_EQ(static_cast<int>(progress.positions.size()), cancelAt);
        EXPECT_TRUE(cancelled.cells.empty());
    }
    RecordingProgress flagged;
    flagged.SetCancelled(1);
    EXPECT_EQ(ZarVeyMeshDSM(10.0).readDsm(fileOf("09LD12.txt", text), &flagged), 0);
}

TEST(ZarVeyMeshDSM, LineEndsFieldsAndEndOfFileMark) {
    // Lines of more than 999 characters are read in pieces of 999.
    const std::string text = std::string("1,100,100,1\r\n") +                 // CR LF
                             "2,,,300,,100,,2,\n" +                           // empty fields
                             "3,500,100\r\n\r\n" +                            // too few fields
                             std::string(999, ',') + "4,700,100,4\n" +        // second piece
                             "5,1500,100" + std::string(989, ' ') + ",5\n" +  // cut after 3
                             "6,1100,100,6\n" +
                             "7,5000,5000,\x1A";  // an end mark, not a fourth field
    ZarVeyMeshDSM mesh(200.0);
    ASSERT_EQ(mesh.readDsm(fileOf("p.txt", text), nullptr), 1);
    EXPECT_EQ(mesh.xmax, 2000);
    EXPECT_EQ(mesh.ymax, 1500);
    const int expected[] = {1000, 2000, 3000, 4000, 5000, 6000, 6000, MESH_NODATA};  // row 0
    for (int c = 0; c < 8; ++c)
        EXPECT_EQ(mesh.cell(c, 0), expected[c]) << c;
}

TEST(ZarVeyMeshDSM, LoadKeepsPathAndNameUnlessTheFileIsMissing) {
    test::TempDir dir;
    test::writeFile(dir.file("09LD12.txt"), point(-30000, -34000, "12.5") + "\x1A");
    test::writeFile(dir.file("nothing.txt"), "no points\n");
    ZarVeyMeshDSM mesh(5.0);
    EXPECT_EQ(mesh.Load(dir.file("missing.txt")), 0);
    EXPECT_EQ(mesh.path, "");
    ASSERT_EQ(mesh.Load(dir.file("09LD12.txt")), 1);
    EXPECT_EQ(mesh.name, "09LD12");
    double z = 0;
    EXPECT_EQ(mesh.GetElevation(-30000, -34000, z), 1);
    EXPECT_DOUBLE_EQ(z, 12.5);
    ZarVeyMeshDSM failed(5.0);
    EXPECT_EQ(failed.loadWithProgress(dir.file("nothing.txt"), nullptr), 0);
    EXPECT_EQ(failed.path, dir.file("nothing.txt"));
}

TEST(SampleDsm, CoastalSheetWithBuildingsOverTheSampleTerrain) {
    test::TempDir dir;
    std::string error;
    ASSERT_TRUE(sample::writeSampleDsm(dir.path(), &error)) << error;
    ZarVeyMeshDSM mesh(2.0);
    ASSERT_EQ(mesh.Load(dir.file(sample::kSampleDsmPath)), 1);
    EXPECT_EQ(extentText(mesh.zone, mesh.xmin, mesh.ymin, mesh.xmax, mesh.ymax),
              "9: -8000 -37500 -6000 -36000");
    for (const sample::SampleBuilding& b : sample::kSampleBuildings) {
        const double x = b.west + b.width / 2.0, y = b.south + b.height / 2.0;
        double z = 0;
        ASSERT_TRUE(mesh.GetElevation(x, y, z));
        EXPECT_NEAR(z, sample::terrainCodeAt(x, y) / 10.0 + b.heightCm / 100.0, 1.0);
    }
    const sample::SampleGap& gap = sample::kSampleGaps[1];
    EXPECT_EQ(mesh.GetRawValue(gap.x, gap.y), MESH_NODATA);
}

}  // namespace
}  // namespace kov

// SPDX-License-Identifier: MIT
#include "core/data/ZarVeyMeshDSM.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <tuple>
#include <vector>

#include "core/base/HxProgress.h"
#include "core/base/MapSheet.h"
#include "core/base/TextScan.h"
#include "core/data/HxFile.h"
#include "sample/SampleData.h"
#include "sample/SampleDsm.h"
#include "support/MeshFixtures.h"
#include "support/TestSupport.h"

namespace kov {
namespace {

// Reads text as a DSM file of the given name.
int read(ZarVeyMeshDSM& mesh, const std::string& text, const std::string& name = "p.txt",
         HxProgress* progress = nullptr) {
    return mesh.readDsm(HxFile("/dsm/" + name, std::string_view(text)), progress);
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

template <class Rect>
std::string extentText(const Rect& r) {
    char text[128];
    std::snprintf(text, sizeof text, "%d: %.0f %.0f %.0f %.0f", r.zone, double(r.xmin),
                  double(r.ymin), double(r.xmax), double(r.ymax));
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
    for (const auto& [code, expected] : cases)
        EXPECT_EQ(extentText(sheetRectOfCode(code).value_or(SheetRect{})), expected) << code;
    for (const char* bad : {"", "09LD1", "20LD12", "0XLD12", "09LI12", "09LDA2", "09LD125",
                            "09LD120", "09LD1234", "09ld12", "09AWE90", "09ZFA00"})
        EXPECT_FALSE(sheetRectOfCode(bad)) << bad;
}

TEST(ZarVeyMeshDSM, FillRadiusIsAboutTwoMetresAndExtentComesFromTheNameOrThePoints) {
    EXPECT_EQ(ZarVeyMeshDSM(-1.0).cellSize, 2.0);
    for (const auto& [cell, radius] :
         {std::pair(1.0, 2), {2.0, 1}, {50.0, 1}, {0.5, 4}, {0.8, 3}, {4.0 / 3.0, 2}})
        EXPECT_EQ(ZarVeyMeshDSM::fillRadius(cell), radius) << cell;

    const std::pair<const char*, const char*> cases[] = {
        {"09LD12.txt", "9: -32000 -36000 -28000 -33000"},
        {"ld123.txt", "9: -32000 -36000 -30000 -34500"},          // upper-cased, "09" in front
        {"13LD123extra.txt", "13: -32000 -36000 -30000 -34500"},  // first seven characters
        {"aze90.txt", "9: 0 300000 4000 303000"},
        {"09LD12x.txt", "9: 0 -1500 4000 3000"},  // no sheet: whole sheets around the points
    };
    const std::string text = point(1234.5, -10, "1") + point(3100, 1600, "2");
    for (const auto& [name, expected] : cases) {
        ZarVeyMeshDSM m(50.0);
        ASSERT_EQ(read(m, text, name), 1) << name;
        EXPECT_EQ(extentText(m), expected);
        EXPECT_EQ(std::pair(m.cols * 50.0, m.rows * 50.0),
                  std::pair(m.xmax - m.xmin, m.ymax - m.ymin));
    }
    // Points outside a named sheet are dropped; the north-west cell takes its point.
    ZarVeyMeshDSM mesh(50.0);
    ASSERT_EQ(read(mesh, point(-31990, -33010, "5") + point(0, 0, "9"), "09LD12.txt"), 1);
    EXPECT_EQ(std::pair(mesh.cell(0, 59), mesh.maxRaw), std::pair(5000, 5000));
}

TEST(ZarVeyMeshDSM, LastValidPointWinsMarksBecomeSpecialCodesAndNumbersRoundAndClamp) {
    std::string text = kCorners + cellPoint(5, 5, 50, "10") + cellPoint(5, 5, 50, "20") +
                       cellPoint(10, 10, 50, "-9999") + cellPoint(10, 10, 50, "7") +
                       cellPoint(15, 15, 50, "-9999") + cellPoint(15, 15, 50, "-1111") +
                       cellPoint(20, 20, 50, "-1111.000") + cellPoint(25, 25, 50, "3") +
                       cellPoint(25, 25, 50, "-9999");
    const std::pair<const char*, int> numbers[] = {
        {"12.3456", 12345},  {"-0.0019", -1},      {"+2.5", 2500}, {".25", 250},
        {"1e99", INT32_MAX}, {"-1e99", INT32_MIN}, {"abc", 0},     {"0.1250000000000000001", 125}};
    for (int i = 0; i < 8; ++i)
        text += cellPoint(i, 1, 50, numbers[i].first);
    ZarVeyMeshDSM mesh(50.0);
    ASSERT_EQ(read(mesh, text), 1);
    EXPECT_EQ(std::tuple(mesh.cell(5, 5), mesh.cell(10, 10), mesh.cell(15, 15), mesh.cell(20, 20),
                         mesh.cell(25, 25)),
              std::tuple(20000, 7000, MESH_WATER, MESH_NODATA, 3000));
    // Water and no-data cells neither feed their neighbours nor get filled themselves.
    EXPECT_EQ(std::tuple(mesh.cell(16, 15), mesh.cell(21, 21), mesh.cell(11, 11)),
              std::tuple(MESH_NODATA, MESH_NODATA, 7000));
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(mesh.cell(i, 1), numbers[i].second) << numbers[i].first;
    // The same decimal rule as the other readers.
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

// The reader fills with the radius of its cell size; how a gap is filled is checked cell by cell
// below.
TEST(ZarVeyMeshDSM, EmptyCellsAreFilledWithinTheRadiusOfTheCellSize) {
    // Sources 1 m (column 100 m) and 5 m (column 104 m) on row 100 m.
    const std::string text = kCorners + cellPoint(100, 100, 1, "1") + cellPoint(104, 100, 1, "5");
    ZarVeyMeshDSM fine(1.0), coarse(2.0);  // radius 2 on 1 m cells, radius 1 on 2 m cells
    ASSERT_EQ(read(fine, text) + read(coarse, text), 2);
    EXPECT_EQ(std::tuple(fine.cell(101, 100), fine.cell(102, 100), coarse.cell(51, 50),
                         coarse.cell(48, 50)),
              std::tuple(1000, 3000, 3000, MESH_NODATA));
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
    ZarVeyMeshDSM mesh(0.5);
    EXPECT_EQ(read(mesh, point(0, 0, "1") + point(1e9, 1e3, "1")), 0);
    EXPECT_EQ(read(mesh, point(0, 0, "1") + point(1e99, 1e3, "1")), 0);
    EXPECT_TRUE(mesh.cells.empty());
    EXPECT_NE(mesh.errorText.find("no grid of whole cells"), std::string::npos) << mesh.errorText;
    ZarVeyMeshDSM limited(50.0);  // a 40 x 30 grid
    limited.setCellLimit(1199);
    EXPECT_EQ(read(limited, kCorners), 0);
    EXPECT_EQ(limited.errorText,
              "its grid of 40 x 30 cells of 50 m exceeds the limit of 1199 cells");
    limited.setCellLimit(1200);
    EXPECT_EQ(read(limited, kCorners), 1);
    // No point; all points on a sheet line give an empty extent.
    EXPECT_EQ(read(mesh, "1,2,3\n\n") + read(mesh, point(2000, 10, "1")), 0);
}

TEST(ZarVeyMeshDSM, ReportsProgressEvery4096LinesAndStopsOnCancel) {
    std::string text;
    std::vector<long long> ends;
    for (int i = 0; i < 10000; ++i) {
        text += point(-31000 + i % 100, -34000 + i / 100, "1");
        ends.push_back(static_cast<long long>(text.size()));
    }
    const long long n = static_cast<long long>(text.size());
    test::RecordingProgress named, unnamed;  // a file without a sheet name is read twice
    ZarVeyMeshDSM mesh(10.0);
    ASSERT_EQ(read(mesh, text, "09LD12.txt", &named), 1);
    EXPECT_EQ(named.positions,
              (decltype(named.positions){{ends[0], n}, {ends[4096], n}, {ends[8192], n}}));
    ASSERT_EQ(read(mesh, text, "points.txt", &unnamed), 1);
    decltype(unnamed.positions) twice;
    for (const long long pass : {0LL, n})
        for (const int line : {0, 4096, 8192})
            twice.push_back({ends[line] + pass, 2 * n});
    EXPECT_EQ(unnamed.positions, twice);
    for (int cancelAt : {1, 5}) {
        test::RecordingProgress progress;
        progress.cancelAt = cancelAt;
        ZarVeyMeshDSM cancelled(10.0);
        EXPECT_EQ(read(cancelled, text, "points.txt", &progress), 0);
        EXPECT_EQ(static_cast<int>(progress.positions.size()), cancelAt);
        EXPECT_TRUE(cancelled.cells.empty());
    }
    test::RecordingProgress flagged;
    flagged.SetCancelled(1);
    EXPECT_EQ(read(mesh, text, "09LD12.txt", &flagged), 0);
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
    ASSERT_EQ(read(mesh, text), 1);
    EXPECT_EQ(std::pair(mesh.xmax, mesh.ymax), std::pair(2000.0, 1500.0));
    const std::vector<int32_t> codes = test::allCodes(mesh);
    std::vector<int32_t> row0(codes.begin(), codes.begin() + 8);
    EXPECT_EQ(row0, (std::vector<int32_t>{1000, 2000, 3000, 4000, 5000, 6000, 6000, MESH_NODATA}));
}

TEST(ZarVeyMeshDSM, LoadKeepsPathAndNameUnlessTheFileIsMissing) {
    test::TempDir dir;
    test::writeFile(dir.file("09LD12.txt"), point(-30000, -34000, "12.5") + "\x1A");
    test::writeFile(dir.file("nothing.txt"), "no points\n");
    ZarVeyMeshDSM mesh(5.0), failed(5.0);
    EXPECT_EQ(mesh.Load(dir.file("missing.txt")), 0);
    EXPECT_EQ(mesh.path, "");
    ASSERT_EQ(mesh.Load(dir.file("09LD12.txt")), 1);
    double z = 0;
    EXPECT_EQ(mesh.GetElevation(-30000, -34000, z), 1);
    EXPECT_EQ(std::pair(mesh.name, z), std::pair(std::string("09LD12"), 12.5));
    EXPECT_EQ(failed.loadWithProgress(dir.file("nothing.txt"), nullptr), 0);
    EXPECT_EQ(failed.path, dir.file("nothing.txt"));
    EXPECT_EQ(failed.errorText, "it holds no point lines (number, x, y, z)");

    // Reached through a link, the file is placed by the link's name, not the target's.
    std::filesystem::create_symlink(dir.file("09LD12.txt"), dir.file("09LD34.txt"));
    ZarVeyMeshDSM linked(5.0);
    ASSERT_EQ(linked.Load(dir.file("09LD34.txt")), 1);
    EXPECT_EQ(std::tuple(linked.name, linked.xmin, linked.ymin),
              std::tuple(std::string("09LD34"), -24000.0, -42000.0));
}

TEST(SampleDsm, CoastalSheetWithBuildingsOverTheSampleTerrain) {
    test::TempDir dir;
    std::string error;
    ASSERT_TRUE(sample::writeSampleDsm(dir.path(), &error)) << error;
    ZarVeyMeshDSM mesh(2.0);
    ASSERT_EQ(mesh.Load(dir.file(sample::kSampleDsmPath)), 1);
    EXPECT_EQ(extentText(mesh), "9: -8000 -37500 -6000 -36000");
    for (const sample::SampleBuilding& b : sample::kSampleBuildings) {
        const double x = b.west + b.width / 2.0, y = b.south + b.height / 2.0;
        double z = 0;
        ASSERT_TRUE(mesh.GetElevation(x, y, z));
        EXPECT_NEAR(z, sample::terrainCodeAt(x, y) / 10.0 + b.heightCm / 100.0, 1.0);
    }
    EXPECT_EQ(mesh.GetRawValue(sample::kSampleGaps[1].x, sample::kSampleGaps[1].y), MESH_NODATA);
}

}  // namespace
}  // namespace kov

#include "sample/SampleData.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "data/TextCodec.h"
#include "data/ZarVeyMesh5.h"
#include "display/MapSheet.h"
#include "support/TestSupport.h"

namespace kov {
namespace {

namespace fs = std::filesystem;
using sample::SampleOptions;
using sample::SampleTile;

// Lines of a text file without their terminators.
std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

long countCrLf(const std::string& text) {
    long n = 0;
    for (size_t pos = text.find("\r\n"); pos != std::string::npos;
         pos = text.find("\r\n", pos + 2)) {
        ++n;
    }
    return n;
}

std::string secondField(const std::string& line) {
    const size_t comma = line.find(',');
    return comma == std::string::npos ? std::string() : line.substr(comma + 1);
}

long long toNumber(const std::string& text) {
    long long value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    EXPECT_TRUE(ec == std::errc() && end == text.data() + text.size()) << text;
    return value;
}

int fieldValue(const std::string& record, int col) {
    return std::atoi(record.substr(10 + 5 * static_cast<size_t>(col), 5).c_str());
}

// Every regular file below root, by relative path, with its bytes.
std::map<std::string, std::string> readTree(const std::string& root) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        if (!entry.is_regular_file()) continue;
        files[fs::relative(entry.path(), root).generic_string()] =
            test::readFile(entry.path().string());
    }
    return files;
}

// The default set, written once for the whole suite.
class SampleDataSet : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = new test::TempDir();
        std::string error;
        ASSERT_TRUE(sample::writeSampleDataSet(dir_->path(), SampleOptions(), &error)) << error;
    }
    static void TearDownTestSuite() {
        delete dir_;
        dir_ = nullptr;
    }
    static std::string path(const std::string& relative) { return dir_->file(relative); }
    static test::TempDir* dir_;
};

test::TempDir* SampleDataSet::dir_ = nullptr;

TEST_F(SampleDataSet, IsIdenticalWhenWrittenAgain) {
    test::TempDir again;
    ASSERT_TRUE(sample::writeSampleDataSet(again.path(), SampleOptions(), nullptr));
    const auto first = readTree(dir_->path());
    const auto second = readTree(again.path());
    ASSERT_EQ(first.size(), 18u);  // 9 data files and 9 headers
    EXPECT_TRUE(first == second);
}

TEST_F(SampleDataSet, NorthernRowBesideItsHeadersWithCrLfOthersInDataAndHeader) {
    const std::vector<SampleTile> tiles = sample::sampleTiles(SampleOptions());
    ASSERT_EQ(tiles.size(), 9u);
    int inTiles = 0;
    for (const SampleTile& t : tiles) {
        const std::string data = test::readFile(path(t.dataPath));
        const std::string header = test::readFile(path(t.headerPath));
        ASSERT_FALSE(data.empty()) << t.dataPath;
        ASSERT_FALSE(header.empty()) << t.headerPath;
        const bool north = t.blockRow == 2;
        if (north) {
            ++inTiles;
            EXPECT_EQ(t.dataPath, "tiles/" + t.code + ".kov");
            EXPECT_EQ(t.headerPath, "tiles/" + t.code + ".csv");
        } else {
            EXPECT_EQ(t.dataPath, "Data/" + t.code + ".kov");
            EXPECT_EQ(t.headerPath, "Header/" + t.code + ".csv");
        }
        // Every line ends the same way: CR LF in tiles/, LF elsewhere.
        for (const std::string* text : {&data, &header}) {
            const long lf = std::count(text->begin(), text->end(), '\n');
            EXPECT_EQ(countCrLf(*text), north ? lf : 0) << t.code;
            EXPECT_EQ(std::count(text->begin(), text->end(), '\r'), north ? lf : 0) << t.code;
        }
    }
    EXPECT_EQ(inTiles, 3);
}

TEST_F(SampleDataSet, HeadersDescribeSheetsThatTileTheBlock) {
    std::set<std::pair<long long, long long>> corners;  // (west, south) in metres
    for (const SampleTile& t : sample::sampleTiles(SampleOptions())) {
        const std::vector<std::string> lines = splitLines(test::readFile(path(t.headerPath)));
        ASSERT_EQ(lines.size(), 21u) << t.code;
        EXPECT_EQ(secondField(lines[0]), t.code + ".kov");
        EXPECT_EQ(secondField(lines[2]), "400");
        EXPECT_EQ(secondField(lines[3]), "300");
        EXPECT_EQ(secondField(lines[4]), "5.00");
        EXPECT_EQ(secondField(lines[5]), "5.000");
        EXPECT_EQ(secondField(lines[16]), "9");

        // The display name is Shift_JIS, not UTF-8.
        const std::string name = secondField(lines[14]);
        EXPECT_FALSE(IsValidUtf8(name));
        std::string utf8;
        ASSERT_TRUE(Cp932ToUtf8(name, utf8));
        EXPECT_EQ(utf8, "サンプル地区 " + t.code);
        std::string kind;
        ASSERT_TRUE(Cp932ToUtf8(secondField(lines[1]), kind));
        EXPECT_EQ(kind, "5mメッシュ（標高）");

        const long long south = toNumber(secondField(lines[17]));
        const long long west = toNumber(secondField(lines[18]));
        const long long north = toNumber(secondField(lines[19]));
        const long long east = toNumber(secondField(lines[20]));
        EXPECT_EQ(south % 150000, 0) << t.code;
        EXPECT_EQ(west % 200000, 0) << t.code;
        EXPECT_EQ(north - south, 150000) << t.code;
        EXPECT_EQ(east - west, 200000) << t.code;
        // The file is named after the sheet it covers.
        EXPECT_EQ(t.code, sheetCodeOfPoint(9, west / 100 + 1000, south / 100 + 750));
        corners.insert({west / 100, south / 100});
    }
    // Nine distinct sheets forming a 3 x 3 block at the default place.
    ASSERT_EQ(corners.size(), 9u);
    for (long long w = -10000; w < -4000; w += 2000) {
        for (long long s = -37500; s < -33000; s += 1500) {
            EXPECT_TRUE(corners.count({w, s})) << w << " " << s;
        }
    }
}

TEST_F(SampleDataSet, RecordsAreFixedWidthNorthRowFirstAndJoinAcrossTileEdges) {
    std::map<std::pair<int, int>, std::vector<std::string>> records;  // by (blockCol, blockRow)
    std::set<int> specials;
    int minCode = 1 << 30;
    int maxCode = -(1 << 30);
    for (const SampleTile& t : sample::sampleTiles(SampleOptions())) {
        std::vector<std::string> lines = splitLines(test::readFile(path(t.dataPath)));
        ASSERT_EQ(lines.size(), 300u);
        for (size_t r = 0; r < lines.size(); ++r) {
            ASSERT_EQ(lines[r].size(), 10u + 5 * 400) << t.code << " row " << r;
            EXPECT_EQ(std::atoi(lines[r].substr(6, 4).c_str()), static_cast<int>(r) + 1);
            for (int c = 0; c < 400; ++c) {
                const int v = fieldValue(lines[r], c);
                if (v == sample::kWaterCode || v == sample::kNoDataCode) {
                    specials.insert(v);
                } else {
                    minCode = std::min(minCode, v);
                    maxCode = std::max(maxCode, v);
                }
            }
        }
        records[{t.blockCol, t.blockRow}] = std::move(lines);
    }
    EXPECT_EQ(specials.size(), 2u);  // both sea and no data occur
    EXPECT_GE(minCode, 0);
    EXPECT_LE(maxCode, 7000);
    EXPECT_GE(maxCode, 1000);  // hills, not a flat plain

    // Neighbouring cells across a tile edge differ no more than neighbouring cells inside a tile.
    auto jump = [](int a, int b) { return a < 0 || b < 0 ? 0 : std::abs(a - b); };
    int inside = 0;
    int acrossEastEdges = 0;
    int acrossNorthEdges = 0;
    for (const auto& [key, lines] : records) {
        for (int r = 0; r < 300; ++r) {
            for (int c = 0; c + 1 < 400; ++c) {
                inside =
                    std::max(inside, jump(fieldValue(lines[r], c), fieldValue(lines[r], c + 1)));
            }
        }
        const auto east = records.find({key.first + 1, key.second});
        if (east != records.end()) {
            for (int r = 0; r < 300; ++r) {
                acrossEastEdges = std::max(acrossEastEdges, jump(fieldValue(lines[r], 399),
                                                                 fieldValue(east->second[r], 0)));
            }
        }
        const auto north = records.find({key.first, key.second + 1});
        if (north != records.end()) {
            for (int c = 0; c < 400; ++c) {
                acrossNorthEdges =
                    std::max(acrossNorthEdges,
                             jump(fieldValue(lines[0], c), fieldValue(north->second[299], c)));
            }
        }
    }
    EXPECT_GT(acrossEastEdges, 0);
    EXPECT_LE(acrossEastEdges, inside);
    EXPECT_LE(acrossNorthEdges, inside);
}

TEST_F(SampleDataSet, EveryTileLoadsWithTheTerrainsCodes) {
    for (const SampleTile& t : sample::sampleTiles(SampleOptions())) {
        ZarVeyMesh5 mesh;
        ASSERT_EQ(mesh.Load(path(t.dataPath)), 1) << t.dataPath;
        EXPECT_EQ(mesh.cols, 400);
        EXPECT_EQ(mesh.rows, 300);
        EXPECT_EQ(mesh.cellSize, 5.0);
        EXPECT_EQ(mesh.zone, 9);
        EXPECT_EQ(mesh.xmin, static_cast<double>(t.west));
        EXPECT_EQ(mesh.ymin, static_cast<double>(t.south));
        EXPECT_EQ(mesh.xmax, static_cast<double>(t.west + 2000));
        EXPECT_EQ(mesh.ymax, static_cast<double>(t.south + 1500));
        EXPECT_EQ(mesh.name, sample::tileDisplayName(t.code));

        // Each cell holds the terrain at its centre (row 0 of the mesh is the southern row).
        int mismatches = 0;
        for (int r = 0; r < 300; ++r) {
            for (int c = 0; c < 400; ++c) {
                const int code =
                    sample::terrainCodeAt(t.west + 5.0 * c + 2.5, t.south + 5.0 * r + 2.5);
                const int32_t expected = code == sample::kWaterCode    ? MESH_WATER
                                         : code == sample::kNoDataCode ? MESH_NODATA
                                                                       : code;
                if (mesh.Cell(c, r) != expected) ++mismatches;
            }
        }
        EXPECT_EQ(mismatches, 0) << t.code;

        for (const auto& [c, r] : {std::pair{0, 0}, {399, 299}, {123, 45}, {250, 280}}) {
            const double x = t.west + 5.0 * c + 2.5;
            const double y = t.south + 5.0 * r + 2.5;
            const int code = sample::terrainCodeAt(x, y);
            if (code < 0) continue;
            double z = -1.0;
            ASSERT_EQ(mesh.GetElevation(x, y, z), 1) << t.code << " " << c << "," << r;
            EXPECT_DOUBLE_EQ(z, code * 0.1);
        }
    }
}

TEST(SampleTerrain, RowsGiveThePointValues) {
    // Rows that start anywhere, also west and south of the origin and across lattice lines.
    for (const auto& [x0, y] : {std::pair{-100000LL, -375000LL},
                                {-123457LL, -361234LL},
                                {5LL, 7LL},
                                {-2000003LL, 999999LL}}) {
        std::vector<int32_t> row(700);
        sample::terrainRow(x0, y, static_cast<int>(row.size()), 37, row.data());
        for (size_t i = 0; i < row.size(); ++i) {
            ASSERT_EQ(row[i], sample::terrainCodeDm(x0 + 37 * static_cast<long long>(i), y))
                << x0 << "," << y << " +" << i;
        }
    }
}

TEST(SampleTerrain, SeaToTheSouthEastLandInland) {
    EXPECT_EQ(sample::terrainCodeAt(-4002.5, -37497.5), sample::kWaterCode);
    EXPECT_GT(sample::terrainCodeAt(-9997.5, -33002.5), 0);
    // The fixed no-data patch sits on the corner shared by four tiles of the default block.
    EXPECT_EQ(sample::terrainCodeAt(-6002.5, -36002.5), sample::kNoDataCode);
    EXPECT_EQ(sample::terrainCodeAt(-5997.5, -35997.5), sample::kNoDataCode);
}

TEST(SampleOptionsCheck, RejectsBadBlocksAndCorners) {
    std::string error;
    SampleOptions options;
    EXPECT_TRUE(sample::validateOptions(options, &error));
    options.block = 0;
    EXPECT_FALSE(sample::validateOptions(options, &error));
    EXPECT_FALSE(error.empty());
    EXPECT_TRUE(sample::sampleTiles(options).empty());
    options.block = 201;
    EXPECT_FALSE(sample::validateOptions(options, &error));
    options = SampleOptions();
    options.west = -9000;
    EXPECT_FALSE(sample::validateOptions(options, &error));
    options = SampleOptions();
    options.south = -37000;
    EXPECT_FALSE(sample::validateOptions(options, &error));

    test::TempDir dir;
    test::writeFile(dir.file("plain"), "x");
    error.clear();
    EXPECT_FALSE(sample::writeSampleDataSet(dir.file("plain"), SampleOptions(), &error));
    EXPECT_FALSE(error.empty());
}

TEST(SampleCommand, LargerBlockKeepsTheTerrainAndPutsEveryTileInData) {
    test::TempDir dir;
    int exitCode = -1;
    test::runCommand(std::string(KOVTOOL_PATH) + " sample '" + dir.path() + "' --block 4 --asc",
                     &exitCode);
    ASSERT_EQ(exitCode, 0);
    EXPECT_FALSE(fs::exists(dir.file("tiles")));
    int kov = 0;
    for (const auto& entry : fs::directory_iterator(dir.file("Data"))) {
        ++kov;
        const std::string code = entry.path().stem().string();
        EXPECT_TRUE(fs::exists(dir.file("Header/" + code + ".csv"))) << code;
        EXPECT_EQ(test::readFile(entry.path().string()).find('\r'), std::string::npos);
    }
    EXPECT_EQ(kov, 16);

    // The south-west tile is the same sheet with the same bytes as in the default block.
    SampleOptions small;
    const SampleTile corner = sample::sampleTiles(small).front();
    ASSERT_EQ(corner.dataPath, "Data/" + corner.code + ".kov");
    EXPECT_EQ(test::readFile(dir.file(corner.dataPath)), sample::tileDataText(corner));

    // The ESRI ASCII copy holds the same elevations in metres.
    const std::vector<std::string> asc =
        splitLines(test::readFile(dir.file("asc/" + corner.code + ".asc")));
    ASSERT_EQ(asc.size(), 6u + 300u);
    EXPECT_EQ(asc[2], "xllcorner -10000");
    EXPECT_EQ(asc[3], "yllcorner -37500");
    const std::vector<std::string> kovLines = splitLines(sample::tileDataText(corner));
    for (int r : {0, 150, 299}) {
        std::vector<std::string> values;
        size_t start = 0;
        const std::string& line = asc[6 + r];
        while (start <= line.size()) {
            size_t end = line.find(' ', start);
            if (end == std::string::npos) end = line.size();
            values.push_back(line.substr(start, end - start));
            start = end + 1;
        }
        ASSERT_EQ(values.size(), 400u);
        for (int c = 0; c < 400; c += 7) {
            const int code = fieldValue(kovLines[r], c);
            const double metres = std::strtod(values[c].c_str(), nullptr);
            if (code < 0) {
                EXPECT_EQ(metres, -9999.0);
            } else {
                EXPECT_NEAR(metres, code * 0.1, 1e-9);
            }
        }
    }
}

TEST(SampleCommand, ReportsBadArguments) {
    test::TempDir dir;
    for (const std::string& args :
         {std::string(""), std::string(" '") + dir.path() + "' --block",
          std::string(" '") + dir.path() + "' --block x",
          std::string(" '") + dir.path() + "' --block 0",
          std::string(" '") + dir.path() + "' --frobnicate", std::string(" a b")}) {
        int exitCode = 0;
        const std::string out =
            test::runCommand(std::string(KOVTOOL_PATH) + " sample" + args + " 2>&1", &exitCode);
        EXPECT_NE(exitCode, 0) << args;
        EXPECT_NE(out.find("kovtool sample:"), std::string::npos) << args;
    }
    EXPECT_TRUE(fs::is_empty(dir.path()));
}

}  // namespace
}  // namespace kov

#include "data/ShpImport.h"

#include <gtest/gtest.h>

#include <bit>
#include <charconv>
#include <filesystem>
#include <optional>
#include <sstream>

#include "app/HxProgress.h"
#include "sample/SampleShapes.h"
#include "support/TestSupport.h"

// The cases name only the fields that matter to them; the rest keep their defaults.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace kov {
namespace {

using test::TempDir;
using XY = std::pair<double, double>;

// --- A small shapefile builder: records are given as their content (shape type onwards). ---

std::string be32(uint32_t v) {
    return {static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8),
            static_cast<char>(v)};
}
std::string le32(int64_t v) {
    const auto u = static_cast<uint32_t>(v);
    return {static_cast<char>(u), static_cast<char>(u >> 8), static_cast<char>(u >> 16),
            static_cast<char>(u >> 24)};
}
std::string f64(double v) {
    const uint64_t bits = std::bit_cast<uint64_t>(v);
    return le32(static_cast<uint32_t>(bits)) + le32(static_cast<uint32_t>(bits >> 32));
}
void patchBE32(std::string& bytes, size_t at, uint32_t v) {
    bytes.replace(at, 4, be32(v));
}

std::string point(int type, double x, double y, std::string extra = {}) {
    return le32(type) + f64(x) + f64(y) + extra;
}

std::string multiPoint(int type, const std::vector<XY>& xy, std::optional<int64_t> count = {}) {
    std::string s = le32(type) + std::string(32, '\0') + le32(count.value_or(xy.size()));
    for (auto [x, y] : xy)
        s += f64(x) + f64(y);
    return s;
}

struct Poly {
    int type = 3;
    std::vector<int64_t> starts{0};
    std::vector<XY> xy;
    std::vector<double> z, m;
    std::vector<int> partTypes;  // multipatch only
    std::optional<int64_t> partCount, pointCount;
};

std::string poly(const Poly& p) {
    std::string s = le32(p.type) + std::string(32, '\0') +
                    le32(p.partCount.value_or(p.starts.size())) +
                    le32(p.pointCount.value_or(p.xy.size()));
    for (int64_t start : p.starts)
        s += le32(start);
    for (int t : p.partTypes)
        s += le32(t);
    for (auto [x, y] : p.xy)
        s += f64(x) + f64(y);
    for (const auto* values : {&p.z, &p.m}) {
        if (values->empty()) continue;
        s += f64(0) + f64(0);
        for (double v : *values)
            s += f64(v);
    }
    return s;
}

struct Header {
    uint32_t fileCode = 9994;
    int type = 1;
    double box[4] = {-10, -20, 30, 40};
    double zRange[2] = {0, 0};
    double mRange[2] = {0, 0};
};

struct Files {
    std::string shp, shx;
    std::vector<size_t> offsets;  // of each record in shp
};

Files build(const std::vector<std::string>& contents, const Header& h = {}) {
    std::string records, index;
    std::vector<size_t> offsets;
    for (size_t i = 0; i < contents.size(); ++i) {
        offsets.push_back(100 + records.size());
        index += be32(static_cast<uint32_t>(offsets.back() / 2)) +
                 be32(static_cast<uint32_t>(contents[i].size() / 2));
        records += be32(static_cast<uint32_t>(i + 1)) +
                   be32(static_cast<uint32_t>(contents[i].size() / 2)) + contents[i];
    }
    auto header = [&](size_t bytes) {
        std::string s = be32(h.fileCode) + std::string(20, '\0') +
                        be32(static_cast<uint32_t>(bytes / 2)) + le32(1000) + le32(h.type);
        for (double v : h.box)
            s += f64(v);
        return s + f64(h.zRange[0]) + f64(h.zRange[1]) + f64(h.mRange[0]) + f64(h.mRange[1]);
    };
    return {header(100 + records.size()) + records, header(100 + index.size()) + index, offsets};
}

std::vector<int> pointIds(const ShpImport& layer) {
    std::vector<int> ids;
    for (const SHP_POINT& p : layer.points)
        ids.push_back(p.id);
    return ids;
}

// The records as text: points "id:x,y", then polylines "id" + L or P + ":" with the parts'
// vertices "x,y[,z]" (z when not 0) separated by "/".
std::string describe(const ShpImport& layer) {
    std::ostringstream out;
    auto vertex = [&](double x, double y, double z) {
        out << x << ',' << y;
        if (z != 0) out << ',' << z;
    };
    for (const SHP_POINT& p : layer.points) {
        out << p.id << ':';
        vertex(p.x, p.y, p.z);
        out << ' ';
    }
    out << '|';
    for (const SHP_POLYLINE& line : layer.polylines) {
        out << ' ' << line.id << (line.kind == SHP_POLYLINE::kPolygon ? "P:" : "L:");
        for (size_t k = 0; k <= line.parts.size(); ++k) {
            const std::vector<FPoint>& part = k == 0 ? line.points : line.parts[k - 1];
            for (size_t i = 0; i < part.size(); ++i) {
                out << (i ? " " : k ? "/" : "");
                vertex(part[i].x, part[i].y, part[i].z);
            }
        }
    }
    return out.str();
}

class RecordingProgress : public HxProgress {
public:
    int SetPos(long long current, long long total) override {
        positions.push_back({current, total});
        return cancelAfter >= 0 && static_cast<int>(positions.size()) > cancelAfter;
    }
    void SetText(const std::string& t) override { text += t; }

    std::string text;
    std::vector<std::pair<long long, long long>> positions;
    int cancelAfter = -1;
};

// --- Header and file handling ---

TEST(ShpImportHeader, ShortOrForeignFilesFailAndKeepNothing) {
    const Files good = build({point(1, 1, 2)});
    Files badCode = build({point(1, 1, 2)}, Header{.fileCode = 9993});
    for (const std::string& shp : {std::string(), good.shp.substr(0, 99), badCode.shp}) {
        ShpImport layer;
        ASSERT_EQ(layer.LoadFromMemory(good.shp, good.shx, nullptr), 1);
        ASSERT_EQ(layer.PointCount(), 1);
        EXPECT_EQ(layer.LoadFromMemory(shp, good.shx, nullptr), 0);
        EXPECT_EQ(layer.PointCount(), 0);
        EXPECT_EQ(layer.recordCounter, 0);
    }
    // The summary goes out before the file code is checked.
    RecordingProgress progress;
    ShpImport layer;
    EXPECT_EQ(layer.LoadFromMemory(badCode.shp, badCode.shx, &progress), 0);
    EXPECT_NE(progress.text.find("HD:9993"), std::string::npos) << progress.text;
}

TEST(ShpImportHeader, LoadFindsTheIndexBesideAndSendsTheSummary) {
    TempDir dir;
    Files f = build({point(1, 1, 2), point(1, 3, 4)},
                    Header{.type = 3, .box = {-9900, -37400.5, -4100, -33100.25}});
    // The index is garbage, so a load that used it would find no record.
    std::string brokenIndex = f.shx;
    patchBE32(brokenIndex, 100, 0x7FFFFFFF);
    patchBE32(brokenIndex, 108, 0x7FFFFFFF);
    test::writeFile(dir.file("Roads.shp"), f.shp);
    test::writeFile(dir.file("ROADS.SHX"), brokenIndex);

    ShpImport layer;
    layer.scale = 2.0;
    RecordingProgress progress;
    ASSERT_EQ(layer.Load(dir.file("Roads.shp"), &progress), 1);
    EXPECT_EQ(layer.path, dir.file("Roads.shp"));
    EXPECT_EQ(layer.PointCount(), 0);  // the index was found despite the letter case
    EXPECT_EQ(progress.text,
              "Roads.shp HD:9994 (    78 Length) Ver 1000   Shp:03  "
              "bound(  -9900.00  -37400.50   -4100.00  -33100.25)\r\n");
    EXPECT_EQ(layer.bounds.xmin, -19800.0);
    EXPECT_EQ(layer.bounds.ymin, -74801.0);
    EXPECT_EQ(layer.bounds.xmax, -8200.0);
    EXPECT_EQ(layer.bounds.ymax, -66200.5);

    layer.useIndex = 0;  // records in sequence
    ASSERT_EQ(layer.Load(dir.file("Roads.shp"), nullptr), 1);
    EXPECT_EQ(layer.PointCount(), 2);
    std::filesystem::remove(dir.file("ROADS.SHX"));  // no index at all
    layer.useIndex = 1;
    ASSERT_EQ(layer.Load(dir.file("roads.shp"), nullptr), 1);  // name case differs too
    EXPECT_EQ(pointIds(layer), (std::vector<int>{1, 2}));

    EXPECT_EQ(layer.Load(dir.file("missing.shp"), nullptr), 0);
    EXPECT_EQ(layer.PointCount(), 0);
}

// --- Records ---

TEST(ShpImportRecords, EveryTypeWithCountersAndPartsAlikeWithAndWithoutIndex) {
    const Files f = build({
        le32(0),                                  // id 1, null
        point(1, 10, 20),                         // id 2
        multiPoint(8, {{1, 1}, {2, 2}, {3, 3}}),  // id 3 for all three
        poly({.type = 3, .starts = {0, 2}, .xy = {{0, 0}, {1, 1}, {2, 2}, {3, 3}, {4, 4}}}),
        poly({.type = 5,
              .starts = {0, 4, 8},
              .xy = {{0, 0},
                     {0, 9},
                     {9, 9},
                     {0, 0},
                     {1, 1},
                     {2, 1},
                     {1, 2},
                     {1, 1},
                     {5, 5},
                     {6, 5},
                     {5, 6},
                     {5, 5}}}),                               // id 5
        le32(99) + std::string(12, 'x'),                      // unknown, not counted
        point(11, 7, 8, f64(9) + f64(10)),                    // id 6, z stays 0
        multiPoint(28, {{4, 5}}) + f64(0) + f64(0) + f64(3),  // id 7
        poly({.type = 31,
              .starts = {0, 3},
              .xy = {{0, 0}, {1, 0}, {1, 1}, {5, 5}, {6, 5}},
              .z = {1, 2, 3, 4, 5},
              .partTypes = {0, 1}}),  // id 8
    });
    for (const bool indexed : {true, false}) {
        SCOPED_TRACE(indexed ? "with index" : "in sequence");
        ShpImport layer;
        ASSERT_EQ(layer.LoadFromMemory(f.shp, indexed ? f.shx : std::string(), nullptr), 1);
        EXPECT_EQ(layer.recordCounter, 8);
        EXPECT_EQ(describe(layer),
                  "2:10,20 3:1,1 3:2,2 3:3,3 6:7,8 7:4,5 | 4L:0,0 1,1/2,2 3,3 4,4 "
                  "5P:0,0 0,9 9,9 0,0/1,1 2,1 1,2 1,1/5,5 6,5 5,6 5,5 "
                  "8P:0,0,1 1,0,2 1,1,3/5,5,4 6,5,5");
        EXPECT_EQ(layer.GetPoint(3), &layer.points[3]);
        EXPECT_EQ(layer.GetPoint(6), nullptr);
        EXPECT_EQ(layer.GetPolyline(2), &layer.polylines[2]);
        EXPECT_EQ(layer.GetPolyline(3), nullptr);
        EXPECT_EQ(layer.GetPolyline(-1), nullptr);
        EXPECT_TRUE(layer.hasPoints && layer.hasLines && layer.hasPolygons);
    }
}

TEST(ShpImportRecords, MalformedRecordsAreSkippedOrEndTheReadWhenStrict) {
    const std::vector<XY> square = {{0, 0}, {0, 1}, {1, 1}, {1, 0}};
    const struct {
        const char* what;
        std::string content;
    } cases[] = {
        {"short point", le32(1) + f64(5)},
        {"no multipoint", multiPoint(8, {}, 0)},
        {"multipoint count above the limit", multiPoint(8, {}, 10000000)},
        {"multipoint count beyond the record", multiPoint(8, {{1, 1}, {2, 2}}, 3)},
        {"no parts", poly({.starts = {}, .xy = square})},
        {"part count beyond the record", poly({.xy = square, .partCount = 9999999})},
        {"point count above the limit", poly({.xy = square, .pointCount = 10000001})},
        {"part start past the points", poly({.starts = {0, 4}, .xy = square})},
        {"part starts not increasing", poly({.starts = {0, 2, 2}, .xy = square})},
        {"negative part start", poly({.starts = {0, -1}, .xy = square})},
        {"Z array missing", poly({.type = 13, .xy = square})},
        {"multipatch part types missing", poly({.type = 31, .xy = square, .z = {1, 2, 3, 4}})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const Files f = build({point(1, 1, 1), c.content, point(1, 3, 3)});
        for (const bool indexed : {true, false}) {
            for (const int strict : {0, 1}) {
                ShpImport layer;
                layer.strict = strict;
                ASSERT_EQ(layer.LoadFromMemory(f.shp, indexed ? f.shx : std::string(), nullptr), 1);
                // A failed record does not advance the counter.
                EXPECT_EQ(pointIds(layer), (strict ? std::vector<int>{1} : std::vector<int>{1, 2}));
                EXPECT_EQ(layer.PolylineCount(), 0);
            }
        }
    }
}

TEST(ShpImportRecords, BrokenPositionsAndLengthsNeverLeaveTheFile) {
    using Patch = void (*)(Files&);
    const struct {
        const char* what;
        Patch patch;
        std::vector<int> indexed, indexedStrict, sequential;
    } cases[] = {
        {"index offset past the end",
         [](Files& f) { patchBE32(f.shx, 108, 0x7FFFFFFF); },
         {1, 2},
         {1},
         {1, 2, 3}},
        {"index offset inside the header",
         [](Files& f) { patchBE32(f.shx, 108, 10); },
         {1, 2},
         {1},
         {1, 2, 3}},
        {"negative content length",
         [](Files& f) { patchBE32(f.shp, f.offsets[1] + 4, 0xFFFFFFF0); },
         {1, 2},
         {1},
         {1}},
        {"content length past the end",
         [](Files& f) { patchBE32(f.shp, f.offsets[1] + 4, 0x40000000); },
         {1, 2},
         {1},
         {1}},
        {"content without room for the shape type",
         [](Files& f) { patchBE32(f.shp, f.offsets[1] + 4, 1); },
         {1, 2},
         {1},
         {1}},
        {"last record cut short",
         [](Files& f) { f.shp.resize(f.shp.size() - 3); },
         {1, 2},
         {1, 2},
         {1, 2}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Files f = build({point(1, 1, 1), point(1, 2, 2), point(1, 3, 3)});
        c.patch(f);
        for (const int mode : {0, 1, 2}) {
            ShpImport layer;
            layer.strict = mode == 1;
            ASSERT_EQ(layer.LoadFromMemory(f.shp, mode == 2 ? std::string() : f.shx, nullptr), 1);
            EXPECT_EQ(pointIds(layer), mode == 0   ? c.indexed
                                       : mode == 1 ? c.indexedStrict
                                                   : c.sequential)
                << "mode " << mode;
        }
    }
}

TEST(ShpImportRecords, ZAndMRules) {
    const std::vector<XY> xy = {{0, 0}, {1, 1}};
    const double none = -1e39;
    const struct {
        const char* what;
        Header header;
        Poly record;
        const char* expected;  // hasZ, hasM and the record
    } cases[] = {
        {"Z of a Z record",
         {},
         {.type = 13, .xy = xy, .z = {1, 2}, .m = {5, 6}},
         "11 1L:0,0,1 1,1,2"},
        {"Z record without M", {}, {.type = 15, .xy = xy, .z = {1, 2}}, "11 1P:0,0,1 1,1,2"},
        {"no-value Z", {}, {.type = 13, .xy = xy, .z = {none, 3}}, "11 1L:0,0 1,1,3"},
        {"Z range below zero",
         {.zRange = {-5, 10}},
         {.type = 13, .xy = xy, .z = {-5, 2}},
         "11 1L:0,0,-5 1,1,2"},
        {"no Z range",
         {.zRange = {none, none}},
         {.type = 13, .xy = xy, .z = {1, 2}},
         "01 1L:0,0 1,1"},
        {"M of an M record",
         {.mRange = {5, 6}},
         {.type = 23, .xy = xy, .m = {5, 6}},
         "11 1L:0,0,5 1,1,6"},
        {"no-value M", {}, {.type = 25, .xy = xy, .m = {none, 7}}, "11 1P:0,0 1,1,7"},
        {"M without an M range",
         {.mRange = {none, none}},
         {.type = 23, .xy = xy, .m = {5, 6}},
         "10 1L:0,0 1,1"},
        {"M record without M", {}, {.type = 23, .xy = xy}, "11 1L:0,0 1,1"},
        {"plain polyline", {}, {.type = 3, .xy = xy}, "11 1L:0,0 1,1"},
    };
    for (const auto& c : cases) {
        const Files f = build({poly(c.record)}, c.header);
        ShpImport layer;
        ASSERT_EQ(layer.LoadFromMemory(f.shp, f.shx, nullptr), 1);
        EXPECT_EQ(
            std::to_string(layer.hasZ) + std::to_string(layer.hasM) + describe(layer).substr(1),
            c.expected)
            << c.what;
    }
}

TEST(ShpImportProgress, PositionsAtTheMaskAndCancelKeepsTheRecordsRead) {
    std::vector<std::string> records;
    for (int i = 0; i < 200; ++i)
        records.push_back(point(1, i, i));
    const Files f = build(records);
    const long long size = static_cast<long long>(f.shp.size());
    RecordingProgress all;
    ShpImport layer;
    ASSERT_EQ(layer.LoadFromMemory(f.shp, f.shx, &all), 1);
    EXPECT_EQ(layer.PointCount(), 200);
    // The base reporter's mask for 200 records is 63.
    EXPECT_EQ(
        all.positions,
        (std::vector<std::pair<long long, long long>>{
            {100, size}, {100 + 64 * 28, size}, {100 + 128 * 28, size}, {100 + 192 * 28, size}}));

    RecordingProgress cancelling;
    cancelling.cancelAfter = 1;
    ASSERT_EQ(layer.LoadFromMemory(f.shp, {}, &cancelling), 1);
    EXPECT_EQ(layer.PointCount(), 64);
    EXPECT_EQ(layer.bounds.xmax, 30.0);
}

// --- Agreement with OGR on files that ogr2ogr writes, and on the sample layers ---

struct OgrFeature {
    long fid = 0;
    std::string type;
    int zIndex = -1;  // which coordinate our z is: the Z, else the M
    std::vector<std::vector<std::vector<double>>> parts;  // innermost bracketed groups
};

OgrFeature parseWkt(long fid, const std::string& wkt) {
    OgrFeature f;
    f.fid = fid;
    const size_t open = wkt.find('(');
    f.type = wkt.substr(0, wkt.find(' '));
    const std::string dims = wkt.substr(0, open);
    if (dims.find(" Z") != std::string::npos || dims.find(" M") != std::string::npos) f.zIndex = 2;
    size_t groupStart = std::string::npos;
    for (size_t i = open; i < wkt.size(); ++i) {
        if (wkt[i] == '(') groupStart = i + 1;
        if (wkt[i] != ')' || groupStart == std::string::npos) continue;
        std::vector<std::vector<double>> part(1);
        for (size_t p = groupStart; p < i;) {
            if (wkt[p] == ',') part.emplace_back();
            if (wkt[p] == ',' || wkt[p] == ' ') {
                ++p;
                continue;
            }
            double v = 0;
            const auto r = std::from_chars(wkt.data() + p, wkt.data() + i, v);
            EXPECT_EQ(r.ec, std::errc()) << wkt;
            part.back().push_back(v);
            p = static_cast<size_t>(r.ptr - wkt.data()) + (r.ec != std::errc());
        }
        f.parts.push_back(part);
        groupStart = std::string::npos;
    }
    return f;
}

// Features of `ogrinfo -al -q`; a feature without geometry has an empty type.
std::vector<OgrFeature> ogrFeatures(const std::string& shp) {
    int exitCode = -1;
    const std::string out =
        test::runCommand("ogrinfo -al -q -fields=NO '" + shp + "' 2>&1", &exitCode);
    EXPECT_EQ(exitCode, 0) << out;
    std::vector<OgrFeature> features;
    size_t pos = 0;
    while (pos < out.size()) {
        size_t end = out.find('\n', pos);
        if (end == std::string::npos) end = out.size();
        const std::string line = out.substr(pos, end - pos);
        pos = end + 1;
        if (line.rfind("OGRFeature(", 0) == 0) {
            features.push_back({std::stol(line.substr(line.find("):") + 2)), "", -1, {}});
        } else if (!features.empty() && line.size() > 2 && line.rfind("  ", 0) == 0 &&
                   line[2] >= 'A' && line[2] <= 'Z' && line.find(" = ") == std::string::npos) {
            features.back() = parseWkt(features.back().fid, line.substr(2));
        }
    }
    return features;
}

// The layer read by ShpImport holds the same records, ids and coordinates as OGR reports.
void expectSameAsOgr(const std::string& shp, size_t expectedFeatures) {
    SCOPED_TRACE(shp);
    const std::vector<OgrFeature> features = ogrFeatures(shp);
    ASSERT_EQ(features.size(), expectedFeatures);
    ShpImport layer;
    ASSERT_EQ(layer.Load(shp, nullptr), 1);
    EXPECT_EQ(layer.recordCounter, static_cast<int>(features.size()));
    size_t pointIndex = 0, lineIndex = 0;
    for (const OgrFeature& f : features) {
        const int id = static_cast<int>(f.fid) + 1;
        if (f.type.find("POINT") != std::string::npos) {
            for (const auto& group : f.parts) {
                for (const auto& c : group) {
                    ASSERT_LT(pointIndex, layer.points.size());
                    const SHP_POINT& p = layer.points[pointIndex++];
                    EXPECT_EQ(p.id, id);
                    EXPECT_EQ(p.x, c[0]);
                    EXPECT_EQ(p.y, c[1]);
                    EXPECT_EQ(p.z, 0.0);
                }
            }
        } else if (!f.type.empty()) {
            ASSERT_LT(lineIndex, layer.polylines.size());
            const SHP_POLYLINE& line = layer.polylines[lineIndex++];
            EXPECT_EQ(line.id, id);
            EXPECT_EQ(line.kind, f.type.find("POLYGON") != std::string::npos ? 1 : 0);
            ASSERT_EQ(line.parts.size() + 1, f.parts.size());
            for (size_t k = 0; k < f.parts.size(); ++k) {
                const std::vector<FPoint>& ours = k == 0 ? line.points : line.parts[k - 1];
                ASSERT_EQ(ours.size(), f.parts[k].size()) << "part " << k;
                for (size_t i = 0; i < ours.size(); ++i) {
                    const std::vector<double>& c = f.parts[k][i];
                    EXPECT_EQ(ours[i].x, c[0]);
                    EXPECT_EQ(ours[i].y, c[1]);
                    EXPECT_EQ(ours[i].z, f.zIndex < 0 ? 0.0 : c[f.zIndex]);
                }
            }
        }
    }
    EXPECT_EQ(pointIndex, layer.points.size());
    EXPECT_EQ(lineIndex, layer.polylines.size());
}

TEST(ShpImportOgr, FilesWrittenByOgrReadTheSame) {
    const std::string polygonHole = "POLYGON ((0 0,0 10,10 10,10 0,0 0),(2 2,4 2,4 4,2 4,2 2))";
    const std::string multiPolygon =
        "MULTIPOLYGON (((20 0,30 10,30 0,20 0)),((40 0,50 10,50 0,40 0),(42 1,48 1,48 7,42 1)))";
    const std::string polygonZ =
        "POLYGON Z ((0 0 1,0 10 2,10 10 3,10 0 4,0 0 1),"
        "(2 2 5,4 2 6,4 4 7,2 4 8,2 2 5))";
    const struct {
        const char* shpt;
        std::vector<std::string> wkt;
    } cases[] = {
        {"POINT", {"POINT (-9000.25 -35000.5)", "", "POINT (-4100 -33100.75)"}},
        {"MULTIPOINT", {"MULTIPOINT ((1 2),(3 4),(5 6))", "", "MULTIPOINT ((7 8))"}},
        {"ARC",
         {"LINESTRING (-9900 -37400,-8500 -36900.5)", "",
          "MULTILINESTRING ((0 0,1 1,2 0),(5 5,6 6))"}},
        {"POLYGON", {polygonHole, "", multiPolygon}},
        {"POINTZ", {"POINT Z (1 2 3)", "POINT Z (4 5 6)"}},
        {"MULTIPOINTZ", {"MULTIPOINT Z ((1 2 3),(4 5 6))"}},
        {"ARCZ",
         {"LINESTRING Z (0 0 1,1 1 2,2 0 3)", "MULTILINESTRING Z ((0 0 1,1 1 2),(5 5 7,6 6 8))"}},
        {"POLYGONZ", {polygonZ}},
        {"POINTM", {"POINT M (1 2 3)"}},
        {"MULTIPOINTM", {"MULTIPOINT M ((1 2 3),(4 5 6))"}},
        {"ARCM",
         {"LINESTRING M (0 0 1,1 1 2,2 0 3)", "",
          "MULTILINESTRING M ((0 0 1,1 1 2),(5 5 7,6 6 8))"}},
        {"POLYGONM",
         {"POLYGON M ((0 0 1,0 10 2,10 10 3,10 0 4,0 0 1),(2 2 5,4 2 6,4 4 7,2 4 8,2 2 5))"}},
        {"ARCZM", {"LINESTRING ZM (0 0 1 9,1 1 2 8)"}},
        {"POLYGONZM", {"POLYGON ZM ((0 0 1 9,0 10 2 9,10 10 3 9,10 0 4 9,0 0 1 9))"}},
        {"MULTIPATCH", {polygonZ}},
    };
    TempDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.shpt);
        std::string csv = "id,WKT\n";
        for (size_t i = 0; i < c.wkt.size(); ++i)
            csv += std::to_string(i) + ",\"" + c.wkt[i] + "\"\n";
        const std::string base = dir.file(std::string("ogr_") + c.shpt);
        test::writeFile(base + ".csv", csv);
        int exitCode = -1;
        const std::string out =
            test::runCommand("ogr2ogr -f 'ESRI Shapefile' '" + base + ".shp' '" + base +
                                 ".csv' -lco SHPT=" + c.shpt + " 2>&1",
                             &exitCode);
        ASSERT_EQ(exitCode, 0) << out;
        expectSameAsOgr(base + ".shp", c.wkt.size());
    }
}

TEST(ShpImportOgr, SampleLayersReadTheSameInOgrAndHere) {
    TempDir dir;
    std::string error;
    ASSERT_TRUE(sample::writeSampleShapefile(dir.path(), &error)) << error;
    const std::vector<std::string> names = sample::sampleShapeNames();
    ASSERT_EQ(names, (std::vector<std::string>{"areas", "roads", "points"}));
    const size_t counts[] = {3, 3, 5};
    for (size_t i = 0; i < names.size(); ++i)
        expectSameAsOgr(dir.file("shape/" + names[i] + ".shp"), counts[i]);

    ShpImport areas;
    ASSERT_EQ(areas.Load(dir.file("shape/areas.shp"), nullptr), 1);
    EXPECT_EQ(areas.polylines[0].parts.size(), 1u);  // the park and its pond
    EXPECT_GE(areas.bounds.xmin, -10000.0);
    EXPECT_LE(areas.bounds.xmax, -4000.0);
    EXPECT_GE(areas.bounds.ymin, -37500.0);
    EXPECT_LE(areas.bounds.ymax, -33000.0);
    // The same bytes on every run.
    TempDir again;
    ASSERT_TRUE(sample::writeSampleShapefile(again.path(), &error));
    for (const char* ext : {".shp", ".shx", ".dbf"})
        EXPECT_EQ(test::readFile(dir.file("shape/roads") + ext),
                  test::readFile(again.file("shape/roads") + ext));
}

}  // namespace
}  // namespace kov

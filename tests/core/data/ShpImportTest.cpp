// SPDX-License-Identifier: MIT
#include "core/data/ShpImport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <map>
#include <optional>

#include "support/TestSupport.h"

// The cases name only the fields that matter to them; the rest keep their defaults.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace kov {
namespace {

using test::TempDir;
using XY = std::pair<double, double>;

// --- A small shapefile builder: records are given as their content (shape type onwards). ---

template <class T>
std::string le(T v) {  // the machines we build on are little-endian
    std::string s(sizeof v, '\0');
    std::memcpy(s.data(), &v, sizeof v);
    return s;
}
std::string le32(int64_t v) {
    return le(static_cast<int32_t>(v));
}
std::string be32(uint32_t v) {
    return le(__builtin_bswap32(v));
}

std::string point(int type, double x, double y) {
    return le32(type) + le<double>(x) + le<double>(y);
}

std::string multiPoint(int type, const std::vector<XY>& xy, std::optional<int64_t> count = {}) {
    std::string s = le32(type) + std::string(32, '\0') + le32(count.value_or(xy.size()));
    for (auto [x, y] : xy)
        s += le<double>(x) + le<double>(y);
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
        s += le<double>(x) + le<double>(y);
    for (const auto* values : {&p.z, &p.m}) {
        if (values->empty()) continue;
        s += le<double>(0) + le<double>(0);
        for (double v : *values)
            s += le<double>(v);
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
    Files f;
    for (size_t i = 0; i < contents.size(); ++i) {
        const auto words = static_cast<uint32_t>(contents[i].size() / 2);
        f.offsets.push_back(100 + f.shp.size());
        f.shx += be32(static_cast<uint32_t>(f.offsets.back() / 2)) + be32(words);
        f.shp += be32(static_cast<uint32_t>(i + 1)) + be32(words) + contents[i];
    }
    auto header = [&](size_t bytes) {
        std::string s = be32(h.fileCode) + std::string(20, '\0') +
                        be32(static_cast<uint32_t>(bytes / 2)) + le32(1000) + le32(h.type);
        for (double v : h.box)
            s += le<double>(v);
        return s + le<double>(h.zRange[0]) + le<double>(h.zRange[1]) + le<double>(h.mRange[0]) +
               le<double>(h.mRange[1]);
    };
    f.shp = header(100 + f.shp.size()) + f.shp;
    f.shx = header(100 + f.shx.size()) + f.shx;
    return f;
}

std::string vertex(double x, double y, double z) {
    char text[96];
    std::snprintf(text, sizeof text, "%.17g %.17g %.17g", x, y, z);
    return text;
}

// The point ids, or with lines the records as "id" + kind (. point, L line, P polygon) and the
// groups of vertices "(x y z,...)", one group per point or part; z is 0 unless read.
std::string describe(const ShpImport& layer, bool withLines = false) {
    std::map<int, std::string> records;
    for (const SHP_POINT& p : layer.points) {
        std::string& r = records[p.id];
        r += (r.empty() ? "." : "") + std::string("(") + vertex(p.x, p.y, p.z) + ")";
    }
    for (const SHP_POLYLINE& line : layer.polylines) {
        std::string& r = records[line.id];
        r += line.kind == SHP_POLYLINE::kPolygon ? "P" : "L";
        for (size_t k = 0; k <= line.parts.size(); ++k) {
            const std::vector<FPoint>& part = k == 0 ? line.points : line.parts[k - 1];
            for (size_t i = 0; i < part.size(); ++i)
                r += (i ? "," : "(") + vertex(part[i].x, part[i].y, part[i].z);
            r += ")";
        }
    }
    std::string text;
    for (const auto& [id, r] : records)
        text += (text.empty() ? "" : " ") + std::to_string(id) + (withLines ? r : "");
    return text;
}

using test::RecordingProgress;

TEST(ShpImportHeader, IndexFoundBesideSummarySentAndShortOrForeignFilesKeepNothing) {
    TempDir dir;
    Files f = build({point(1, 1, 2), point(1, 3, 4)},
                    Header{.type = 3, .box = {-9900, -37400.5, -4100, -33100.25}});
    // The index is garbage, so a load that used it would find no record.
    test::writeFile(dir.file("Roads.shp"), f.shp);
    test::writeFile(dir.file("ROADS.SHX"), f.shx.substr(0, 100) + std::string(16, '\x7F'));
    ShpImport layer;
    layer.scale = 2.0;
    RecordingProgress progress;
    ASSERT_EQ(layer.Load(dir.file("Roads.shp"), &progress), 1);
    EXPECT_EQ(layer.pointCount(), 0);  // the index was found despite the letter case
    EXPECT_EQ(progress.texts,
              "Roads.shp HD:9994 (    78 Length) Ver 1000   Shp:03  "
              "bound(  -9900.00  -37400.50   -4100.00  -33100.25)\r\n");
    EXPECT_EQ(std::pair(layer.bounds.xmin, layer.bounds.ymax), std::pair(-19800.0, -66200.5));
    std::filesystem::remove(dir.file("ROADS.SHX"));  // no index: the same records in sequence
    ASSERT_EQ(layer.Load(dir.file("roads.shp"), nullptr), 1);
    EXPECT_EQ(describe(layer), "1 2");
    const Files badCode = build({point(1, 1, 2)}, Header{.fileCode = 9993});
    for (const std::string& shp : {std::string(), f.shp.substr(0, 99), badCode.shp}) {
        ASSERT_EQ(layer.loadFromMemory(f.shp, f.shx, nullptr), 1);
        EXPECT_EQ(layer.loadFromMemory(shp, f.shx, nullptr), 0);
        EXPECT_EQ(layer.pointCount() + layer.recordCounter, 0);
    }
    EXPECT_EQ(layer.Load(dir.file("missing.shp"), nullptr), 0);
}

TEST(ShpImportRecords, EveryKindWithCountersAndPartsAlikeWithAndWithoutIndex) {
    const std::vector<XY> hole = {{0, 0}, {0, 9}, {9, 9}, {0, 0}, {1, 1}, {2, 1}, {1, 1}};
    const Files f = build({
        le32(0),                                                           // id 1, null
        point(1, 10, 20),                                                  // id 2
        multiPoint(8, {{1, 1}, {2, 2}}),                                   // id 3 for both
        poly({.starts = {0, 2}, .xy = {{0, 0}, {1, 1}, {2, 2}, {3, 3}}}),  // id 4
        poly({.type = 5, .starts = {0, 4}, .xy = hole}),                   // id 5
        le32(99) + std::string(12, 'x'),                                   // unknown, not counted
        point(11, 7, 8) + le<double>(9) + le<double>(10),                  // id 6, z stays 0
        multiPoint(28, {{4, 5}}) + le<double>(0) + le<double>(0) + le<double>(3),  // id 7
        poly({.type = 31,
              .starts = {0, 3},
              .xy = {{0, 0}, {1, 0}, {1, 1}, {5, 5}, {6, 5}},
              .z = {1, 2, 3, 4, 5},
              .partTypes = {0, 1}}),  // id 8
    });
    for (const bool indexed : {true, false}) {
        ShpImport layer;
        ASSERT_EQ(layer.loadFromMemory(f.shp, indexed ? f.shx : std::string(), nullptr), 1);
        EXPECT_EQ(layer.recordCounter, 8);
        EXPECT_EQ(describe(layer, true),
                  "2.(10 20 0) 3.(1 1 0)(2 2 0) 4L(0 0 0,1 1 0)(2 2 0,3 3 0) "
                  "5P(0 0 0,0 9 0,9 9 0,0 0 0)(1 1 0,2 1 0,1 1 0) 6.(7 8 0) 7.(4 5 0) "
                  "8P(0 0 1,1 0 2,1 1 3)(5 5 4,6 5 5)")
            << indexed;
        EXPECT_TRUE(layer.hasPoints && layer.hasLines && layer.hasPolygons);
    }
}

TEST(ShpImportRecords, MalformedRecordsAreSkippedOrEndTheReadWhenStrict) {
    const std::vector<XY> square = {{0, 0}, {0, 1}, {1, 1}, {1, 0}};
    const std::pair<const char*, std::string> cases[] = {
        {"short point", le32(1) + le<double>(5)},
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
    for (const auto& [what, content] : cases) {
        const Files f = build({point(1, 1, 1), content, point(1, 3, 3)});
        for (const int mode : {0, 1, 2, 3}) {  // strict or not, indexed or not
            ShpImport layer;
            layer.strict = mode & 1;
            ASSERT_EQ(layer.loadFromMemory(f.shp, mode & 2 ? f.shx : "", nullptr), 1);
            // A failed record does not advance the counter.
            EXPECT_EQ(describe(layer), mode & 1 ? "1" : "1 2") << what << " " << mode;
        }
    }
}

TEST(ShpImportRecords, BrokenPositionsAndLengthsNeverLeaveTheFile) {
    // The ids read with the index, with the index when strict, and in sequence.
    const struct {
        const char* what;
        void (*patch)(Files&);
        const char* expected;
    } cases[] = {
        {"index offset past the end", [](Files& f) { f.shx.replace(108, 4, be32(1u << 30)); },
         "1 2|1|1 2 3"},
        {"index offset inside the header", [](Files& f) { f.shx.replace(108, 4, be32(10)); },
         "1 2|1|1 2 3"},
        {"negative content length",
         [](Files& f) { f.shp.replace(f.offsets[1] + 4, 4, be32(0xFFFFFFF0)); }, "1 2|1|1"},
        {"content length past the end",
         [](Files& f) { f.shp.replace(f.offsets[1] + 4, 4, be32(1u << 30)); }, "1 2|1|1"},
        {"no room for the shape type",
         [](Files& f) { f.shp.replace(f.offsets[1] + 4, 4, be32(1)); }, "1 2|1|1"},
        {"last record cut short", [](Files& f) { f.shp.resize(f.shp.size() - 3); }, "1 2|1 2|1 2"},
        // A record is read at most once: a small index cannot copy one big record many times.
        {"every entry on the first record",
         [](Files& f) {
             f.shx.replace(108, 4, f.shx.substr(100, 4)).replace(116, 4, f.shx.substr(100, 4));
         },
         "1|1|1 2 3"},
        {"an entry before the previous record",
         [](Files& f) {
             const std::string second = f.shx.substr(108, 8);
             f.shx.replace(108, 8, f.shx.substr(116, 8)).replace(116, 8, second);
         },
         "1 2|1 2|1 2 3"},
    };
    for (const auto& c : cases) {
        Files f = build({point(1, 1, 1), point(1, 2, 2), point(1, 3, 3)});
        c.patch(f);
        std::string ids;
        for (const int mode : {0, 1, 2}) {
            ShpImport layer;
            layer.strict = mode == 1;
            ASSERT_EQ(layer.loadFromMemory(f.shp, mode == 2 ? "" : f.shx, nullptr), 1);
            ids += (mode ? "|" : "") + describe(layer);
        }
        EXPECT_EQ(ids, c.expected) << c.what;
    }
}

// hasZ and hasM come from the header's ranges and say whether Z and M values are read; carriesZ
// and carriesM say, as ogrinfo reports them ("3D Measured Line String"), whether the shapes carry
// them: from the shape type, with M for a Z type only when its M range is not the 0..0 that a
// plain file writes.
TEST(ShpImportRecords, ZAndMRules) {
    const std::vector<XY> xy = {{0, 0}, {1, 1}};
    const double none = -1e39;
    const struct {
        const char* what;
        Header header;
        Poly record;
        const char* expected;  // carries (- for neither), hasZ and hasM, the record
    } cases[] = {
        // clang-format off
        {"plain line", {.zRange = {none, none}, .mRange = {none, none}}, {.xy = xy}, "- 00 1L(0 0 0,1 1 0)"},
        {"Z of a Z record", {}, {.type = 13, .xy = xy, .z = {1, 2}, .m = {5, 6}}, "Z 11 1L(0 0 1,1 1 2)"},
        {"no-value Z", {}, {.type = 15, .xy = xy, .z = {none, 3}}, "Z 11 1P(0 0 0,1 1 3)"},
        {"Z range below zero", {.zRange = {-5, 10}}, {.type = 13, .xy = xy, .z = {-5, 2}},
         "Z 11 1L(0 0 -5,1 1 2)"},
        {"no Z range", {.zRange = {none, none}}, {.type = 13, .xy = xy, .z = {1, 2}},
         "Z 01 1L(0 0 0,1 1 0)"},
        {"Z with an M range", {.mRange = {5, 6}}, {.type = 13, .xy = xy, .z = {1, 2}, .m = {5, 6}},
         "ZM 11 1L(0 0 1,1 1 2)"},
        {"multipatch", {}, {.type = 31, .xy = xy, .z = {1, 2}, .partTypes = {0}}, "Z 11 1P(0 0 1,1 1 2)"},
        {"M of an M record", {.mRange = {5, 6}}, {.type = 23, .xy = xy, .m = {5, 6}},
         "M 11 1L(0 0 5,1 1 6)"},
        {"M without an M range", {.mRange = {none, none}}, {.type = 23, .xy = xy, .m = {5, 6}},
         "M 10 1L(0 0 0,1 1 0)"},
        {"M record without M", {}, {.type = 23, .xy = xy}, "M 11 1L(0 0 0,1 1 0)"},
        // clang-format on
    };
    for (const auto& c : cases) {
        Header header = c.header;
        header.type = c.record.type;
        const Files f = build({poly(c.record)}, header);
        ShpImport layer;
        ASSERT_EQ(layer.loadFromMemory(f.shp, f.shx, nullptr), 1);
        const std::string carries =
            std::string(layer.carriesZ() ? "Z" : "") + (layer.carriesM() ? "M" : "");
        EXPECT_EQ((carries.empty() ? "-" : carries) + " " + std::to_string(layer.hasZ) +
                      std::to_string(layer.hasM) + " " + describe(layer, true),
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
    RecordingProgress all, cancelling;
    cancelling.cancelAt = 2;
    ShpImport layer;
    ASSERT_EQ(layer.loadFromMemory(f.shp, f.shx, &all), 1);
    EXPECT_EQ(layer.pointCount(), 200);
    // The base reporter's mask for 200 records is 63.
    EXPECT_EQ(all.positions, (std::vector<std::pair<long long, long long>>{
                                 {100, size}, {1892, size}, {3684, size}, {5476, size}}));
    ASSERT_EQ(layer.loadFromMemory(f.shp, {}, &cancelling), 1);
    EXPECT_EQ(std::pair(layer.pointCount(), layer.bounds.xmax), std::pair(64, 30.0));
}

}  // namespace
}  // namespace kov

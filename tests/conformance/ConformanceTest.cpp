// SPDX-License-Identifier: MIT
// Cross-checks against peer programs: our answer and a peer's on the same input, case by case
// from the tables in cases/, one table per peer (proj, ogr, gdal, emf2svg). A case is a block of
// lines:
//   case: NAME
//   input: a shell command that prepares the input in {dir} (optional)
//   ours: our side: a shell command, "= row; row; ..." (what the peer must answer), or one of our
//         readers: "plane ZONE grs80|bessel FILE" (a "northing easting" line each),
//         "shapefile PATH", "image PATH"
//   theirs: the peer's shell command, or "= row; row; ..."
//   tolerance: the largest difference allowed between two numbers (optional: 0)
// {dir} is the case's own folder, {data} this folder's data/, {sample} the sample data set (with
// its ASCII grids, written once) and {kovtool} our program. The answers are compared row by row
// and field by field; fields are split at blanks, commas, colons, brackets, '=' and quotes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "core/base/PlaneConverter.h"
#include "core/data/ShpImport.h"
#include "core/data/ZarHImage.h"
#include "sample/SampleData.h"
#include "support/GuiApplication.h"
#include "support/TestSupport.h"

namespace kov {
namespace {

const std::string kFolder = std::string(KOV_SOURCE_DIR) + "/tests/conformance";

struct Case {
    std::string peer, name, input, ours, theirs, tolerance = "0";
};

// Every table of cases/: blocks of "key: value" lines, each opened by "case: NAME".
std::vector<Case> loadCases() {
    std::vector<std::filesystem::path> tables;
    for (const auto& entry : std::filesystem::directory_iterator(kFolder + "/cases"))
        tables.push_back(entry.path());
    std::sort(tables.begin(), tables.end());
    std::vector<Case> cases;
    for (const auto& table : tables) {
        std::ifstream in(table);
        for (std::string line; std::getline(in, line);) {
            if (line.empty() || line[0] == '#') continue;
            const size_t colon = line.find(": ");
            const std::string key = line.substr(0, colon), value = line.substr(colon + 2);
            if (key == "case") {
                cases.push_back({table.stem(), value, {}, {}, {}});
                continue;
            }
            std::string* field = cases.empty()        ? nullptr
                                 : key == "input"     ? &cases.back().input
                                 : key == "ours"      ? &cases.back().ours
                                 : key == "theirs"    ? &cases.back().theirs
                                 : key == "tolerance" ? &cases.back().tolerance
                                                      : nullptr;
            if (colon == std::string::npos || !field)
                throw std::runtime_error(table.string() + ": not a case's line: " + line);
            *field = value;
        }
    }
    return cases;
}

// The sample data set, written when a case first asks for it.
const std::string& sampleFolder() {
    static test::TempDir dir;
    static const bool written = [] {
        sample::SampleOptions options;
        options.esriAscii = true;
        return sample::writeSampleDataSet(dir.path(), options, nullptr);
    }();
    EXPECT_TRUE(written);
    return dir.path();
}

std::string expand(std::string text, const std::string& dir) {
    const auto value = [&](const std::string& name) {
        return name == "{dir}"       ? dir
               : name == "{data}"    ? kFolder + "/data"
               : name == "{kovtool}" ? std::string(KOVTOOL_PATH)
                                     : sampleFolder();
    };
    for (const std::string name : {"{dir}", "{data}", "{kovtool}", "{sample}"})
        for (size_t at; (at = text.find(name)) != std::string::npos;)
            text.replace(at, name.size(), value(name));
    return text;
}

// A shell command's output; a command that fails ends the case.
std::string shell(const std::string& command) {
    std::string quoted = "'";
    for (char ch : command)
        quoted += ch == '\'' ? std::string("'\\''") : std::string(1, ch);
    int code = -1;
    const std::string out = test::runCommand("bash -o pipefail -c " + quoted + "' 2>&1", &code);
    if (code != 0) throw std::runtime_error(std::to_string(code) + " from " + command + "\n" + out);
    return out;
}

// --- Our readers, and the peers' answers in the same rows ---

// "latitude longitude 0" for each "northing easting" line of the file.
void planeToGeodetic(std::istream& words, std::ostream& out) {
    int zone = 0;
    std::string ellipsoid, points;
    words >> zone >> ellipsoid >> points;
    PlaneConverter pc;
    pc.setup(zone, ellipsoid == "bessel" ? kEllipsoidBessel : kEllipsoidGrs80);
    std::istringstream file(test::readFile(points));
    for (double north, east; file >> north >> east;) {
        const double plane[3] = {east, north, 0.0};
        double geo[3];
        pc.planeToGeodetic(plane, geo);
        out << geo[1] << ' ' << geo[0] << " 0\n";
    }
}

// A row per point and per part of a line or polygon: id, kind (. point, L line, P polygon), then
// x y z of every vertex.
void shapefileRows(std::istream& words, std::ostream& out) {
    std::string path;
    words >> path;
    ShpImport layer;
    if (layer.Load(path, nullptr) != 1) return;
    std::map<int, std::ostringstream> records;
    const auto record = [&](int id) -> std::ostream& {
        records[id].precision(17);
        return records[id] << id;
    };
    for (const SHP_POINT& p : layer.points)
        record(p.id) << " . " << p.x << ' ' << p.y << ' ' << p.z << '\n';
    for (const SHP_POLYLINE& line : layer.polylines)
        for (size_t k = 0; k <= line.parts.size(); ++k) {
            std::ostream& row = record(line.id)
                                << (line.kind == SHP_POLYLINE::kPolygon ? " P" : " L");
            for (const FPoint& v : k == 0 ? line.points : line.parts[k - 1])
                row << ' ' << v.x << ' ' << v.y << ' ' << v.z;
            row << '\n';
        }
    for (const auto& [id, rows] : records)
        out << rows.str();
}

// The same rows from what `ogrinfo -al` prints: the innermost groups of each WKT geometry, the
// third coordinate Z, else M, else 0.
std::string ogrinfoRows(const std::string& ogrinfo) {
    std::ostringstream out;
    out.precision(17);
    int id = 0;
    std::istringstream lines(ogrinfo);
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("OGRFeature(", 0) == 0) {
            id = std::stoi(line.substr(line.find("):") + 2)) + 1;
            continue;
        }
        if (id == 0 || line.rfind("  ", 0) != 0 || !std::isupper(line[2]) ||
            line.find(" = ") != std::string::npos)
            continue;
        const char* kind = line.find("POLYGON") != std::string::npos ? " P"
                           : line.find("POINT") != std::string::npos ? " ."
                                                                     : " L";
        for (size_t open = 0; (open = line.find('(', open)) != std::string::npos; ++open) {
            if (line[open + 1] == '(') continue;
            const size_t close = line.find(')', open);
            out << id << kind;
            std::istringstream vertices(line.substr(open + 1, close - open - 1));
            for (std::string vertex; std::getline(vertices, vertex, ',');) {
                std::istringstream in(vertex);
                double xyz[3] = {0, 0, 0};
                in >> xyz[0] >> xyz[1] >> xyz[2];
                out << ' ' << xyz[0] << ' ' << xyz[1] << ' ' << xyz[2];
            }
            out << '\n';
            open = close;
        }
    }
    return out.str();
}

// The zone, UTM zone, datum (set to 7 before: shows whether the file set it), rectangle, the
// picture's size and its first and last pixel.
void imageRow(std::istream& words, std::ostream& out) {
    std::string path;
    words >> path;
    test::ensureGuiApplication();
    ZarHImage image;
    image.datumFlag = 7;
    if (image.Load(path) != 1) return;
    out << image.zone << ' ' << image.utmZone << ' ' << image.datumFlag << ' ' << image.xmin << ' '
        << image.ymin << ' ' << image.xmax << ' ' << image.ymax;
    const QImage& b = image.bitmap;
    out << ' ' << b.width() << ' ' << b.height();
    for (const QRgb p : {b.pixel(0, 0), b.pixel(b.width() - 1, b.height() - 1)})
        out << ' ' << qRed(p) << ' ' << qGreen(p) << ' ' << qBlue(p);
}

// One side's answer as text, a row a line.
std::string answer(const std::string& side, const std::string& peer) {
    if (side.rfind("= ", 0) == 0) {
        std::string rows = side.substr(2);
        std::replace(rows.begin(), rows.end(), ';', '\n');
        return rows;
    }
    const std::pair<const char*, void (*)(std::istream&, std::ostream&)> readers[] = {
        {"plane", planeToGeodetic}, {"shapefile", shapefileRows}, {"image", imageRow}};
    std::istringstream words(side);
    std::string first;
    words >> first;
    for (const auto& [name, read] : readers)
        if (first == name) {
            std::ostringstream out;
            out.precision(17);
            read(words, out);
            return out.str();
        }
    return peer == "ogr" ? ogrinfoRows(shell(side)) : shell(side);
}

// The fields of each line, split at blanks, commas, colons, brackets, '=' and quotes.
std::vector<std::vector<std::string>> rowsOf(std::string text) {
    for (char& ch : text)
        if (std::strchr(",:()[]=\"'\t\r", ch)) ch = ' ';
    std::vector<std::vector<std::string>> rows;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        std::istringstream words(line);
        rows.emplace_back(std::istream_iterator<std::string>(words),
                          std::istream_iterator<std::string>());
    }
    return rows;
}

std::optional<double> number(const std::string& field) {
    double v = 0.0;
    const char* end = field.data() + field.size();
    const auto [next, ec] = std::from_chars(field.data(), end, v);
    return ec == std::errc() && next == end ? std::optional(v) : std::nullopt;
}

class Conformance : public ::testing::TestWithParam<Case> {};

TEST_P(Conformance, OursAgreesWithThePeer) {
    const Case& c = GetParam();
    test::TempDir dir;
    if (!c.input.empty()) shell(expand(c.input, dir.path()));
    const std::string ours = answer(expand(c.ours, dir.path()), "");
    const std::string theirs = answer(expand(c.theirs, dir.path()), c.peer);
    const auto a = rowsOf(ours), b = rowsOf(theirs);
    ASSERT_EQ(a.size(), b.size()) << "ours:\n" << ours << "theirs:\n" << theirs;
    for (size_t i = 0, wrong = 0; i < a.size() && wrong < 10; ++i) {
        bool same = a[i].size() == b[i].size();
        for (size_t k = 0; same && k < a[i].size(); ++k) {
            const auto x = number(a[i][k]), y = number(b[i][k]);
            same = x && y ? std::fabs(*x - *y) <= std::stod(c.tolerance) : a[i][k] == b[i][k];
        }
        wrong += !same;
        const auto line = [](const std::vector<std::string>& row) {
            std::string text;
            for (const std::string& field : row)
                text += " " + field;
            return text;
        };
        EXPECT_TRUE(same) << "row " << i << "\n ours:  " << line(a[i])
                          << "\n theirs:" << line(b[i]);
    }
}

INSTANTIATE_TEST_SUITE_P(Peers, Conformance, ::testing::ValuesIn(loadCases()),
                         [](const ::testing::TestParamInfo<Case>& info) {
                             std::string name = info.param.peer + "_" + info.param.name;
                             for (char& ch : name)
                                 if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
                             return name;
                         });

}  // namespace
}  // namespace kov

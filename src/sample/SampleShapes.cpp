// SPDX-License-Identifier: MIT
#include "sample/SampleShapes.h"

#include "sample/SampleData.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstdio>
#include <filesystem>

namespace kov::sample {
namespace {

struct XY {
    double x;
    double y;
};

// One ring or line part; rings are closed by the writer and oriented as shapefiles require
// (outer rings clockwise, holes counter-clockwise).
struct Part {
    std::vector<XY> points;
    bool hole = false;
};

struct Feature {
    std::string name;
    std::vector<Part> parts;  // a point feature has one part of one point
};

struct Layer {
    std::string name;
    int shapeType;  // 1 point, 3 polyline, 5 polygon
    std::vector<Feature> features;
};

// The layers over the default block. The coast runs from about (-10000, -38100) to
// (-4000, -35700) with the sea to the south-east; the river runs north to south near x -7200.
std::vector<Layer> sampleLayers() {
    std::vector<Layer> layers;
    layers.push_back(
        {"areas",
         5,
         {
             {"park",
              {{{{-9500, -34500}, {-8200, -34500}, {-8200, -33400}, {-9500, -33400}}},
               {{{-9000, -34100}, {-8700, -34100}, {-8700, -33800}, {-9000, -33800}}, true}}},
             {"forest",
              {{{{-6400, -34400},
                 {-5500, -34600},
                 {-4900, -34000},
                 {-5300, -33300},
                 {-6200, -33500}}}}},
             {"fields",
              {{{{-9600, -36500}, {-8800, -36500}, {-8800, -35900}, {-9600, -35900}}},
               {{{-8600, -36400}, {-8000, -36300}, {-8100, -35800}, {-8600, -35850}}}}},
         }});
    layers.push_back(
        {"roads",
         3,
         {
             {"coast road",
              {{{{-9900, -37400},
                 {-8500, -36900},
                 {-7200, -36500},
                 {-5800, -35900},
                 {-4100, -35200}}}}},
             {"valley road",
              {{{{-7000, -36400}, {-7050, -35000}, {-6950, -34000}, {-6900, -33100}}}}},
             {"hill road",
              {{{{-9800, -34800}, {-8900, -34850}, {-7600, -34900}}},
               {{{-6800, -34950}, {-5500, -35100}, {-4300, -34700}}}}},
         }});
    layers.push_back({"points",
                      1,
                      {
                          {"summit west", {{{{-9200, -33600}}}}},
                          {"summit east", {{{{-5200, -34300}}}}},
                          {"bridge", {{{{-7200, -34925}}}}},
                          {"river mouth", {{{{-7250, -36850}}}}},
                          {"harbour", {{{{-5000, -35900}}}}},
                      }});
    return layers;
}

void putBE32(std::string& out, uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out += static_cast<char>((v >> shift) & 0xFF);
}

void putLE32(std::string& out, uint32_t v) {
    for (int shift = 0; shift < 32; shift += 8)
        out += static_cast<char>((v >> shift) & 0xFF);
}

void putLE16(std::string& out, uint16_t v) {
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>(v >> 8);
}

void putDouble(std::string& out, double v) {
    const uint64_t bits = std::bit_cast<uint64_t>(v);
    putLE32(out, static_cast<uint32_t>(bits));
    putLE32(out, static_cast<uint32_t>(bits >> 32));
}

struct Box {
    double xmin = 0, ymin = 0, xmax = 0, ymax = 0;
    bool empty = true;
    void add(const XY& p) {
        if (empty) {
            xmin = xmax = p.x;
            ymin = ymax = p.y;
            empty = false;
        }
        xmin = std::min(xmin, p.x);
        ymin = std::min(ymin, p.y);
        xmax = std::max(xmax, p.x);
        ymax = std::max(ymax, p.y);
    }
    void add(const Box& b) {
        if (b.empty) return;
        add(XY{b.xmin, b.ymin});
        add(XY{b.xmax, b.ymax});
    }
    void put(std::string& out) const {
        putDouble(out, xmin);
        putDouble(out, ymin);
        putDouble(out, xmax);
        putDouble(out, ymax);
    }
};

// Twice the signed area: positive for counter-clockwise rings.
double signedArea2(const std::vector<XY>& ring) {
    double sum = 0;
    for (size_t i = 0; i < ring.size(); ++i) {
        const XY& a = ring[i];
        const XY& b = ring[(i + 1) % ring.size()];
        sum += a.x * b.y - b.x * a.y;
    }
    return sum;
}

// The record content (shape type onwards) of one feature, and its box.
std::string recordContent(int shapeType, const Feature& feature, Box& box) {
    std::string out;
    putLE32(out, static_cast<uint32_t>(shapeType));
    if (shapeType == 1) {
        const XY& p = feature.parts.front().points.front();
        box.add(p);
        putDouble(out, p.x);
        putDouble(out, p.y);
        return out;
    }
    std::vector<std::vector<XY>> parts;
    for (const Part& part : feature.parts) {
        std::vector<XY> points = part.points;
        if (shapeType == 5) {
            const bool counterClockwise = signedArea2(points) > 0;
            if (counterClockwise != part.hole) std::reverse(points.begin(), points.end());
            points.push_back(points.front());
        }
        for (const XY& p : points)
            box.add(p);
        parts.push_back(std::move(points));
    }
    box.put(out);
    putLE32(out, static_cast<uint32_t>(parts.size()));
    size_t total = 0;
    for (const auto& part : parts)
        total += part.size();
    putLE32(out, static_cast<uint32_t>(total));
    size_t start = 0;
    for (const auto& part : parts) {
        putLE32(out, static_cast<uint32_t>(start));
        start += part.size();
    }
    for (const auto& part : parts) {
        for (const XY& p : part) {
            putDouble(out, p.x);
            putDouble(out, p.y);
        }
    }
    return out;
}

// The 100-byte header shared by the main file and the index.
std::string fileHeader(int shapeType, size_t fileBytes, const Box& box) {
    std::string out;
    putBE32(out, 9994);
    for (int i = 0; i < 5; ++i)
        putBE32(out, 0);
    putBE32(out, static_cast<uint32_t>(fileBytes / 2));
    putLE32(out, 1000);
    putLE32(out, static_cast<uint32_t>(shapeType));
    box.put(out);
    for (int i = 0; i < 4; ++i)
        putDouble(out, 0.0);  // Z and M ranges
    return out;
}

// A dBASE III table with the one character field "NAME".
std::string dbfTable(const std::vector<Feature>& features) {
    constexpr uint8_t kNameWidth = 24;
    std::string out;
    out += '\x03';
    out += static_cast<char>(124);  // last update 2024-01-01, fixed for identical bytes
    out += static_cast<char>(1);
    out += static_cast<char>(1);
    putLE32(out, static_cast<uint32_t>(features.size()));
    putLE16(out, 32 + 32 + 1);
    putLE16(out, 1 + kNameWidth);
    out.append(20, '\0');
    std::string field = "NAME";
    field.resize(11, '\0');
    out += field;
    out += 'C';
    out.append(4, '\0');
    out += static_cast<char>(kNameWidth);
    out += '\0';
    out.append(14, '\0');
    out += '\x0D';
    for (const Feature& feature : features) {
        std::string name = feature.name.substr(0, kNameWidth);
        name.resize(kNameWidth, ' ');
        out += ' ';
        out += name;
    }
    out += '\x1A';
    return out;
}

}  // namespace

std::vector<std::string> sampleShapeNames() {
    std::vector<std::string> names;
    for (const Layer& layer : sampleLayers())
        names.push_back(layer.name);
    return names;
}

bool writeSampleShapefile(const std::string& outDir, std::string* error) {
    if (outDir.empty()) {
        if (error) *error = "no output folder given";
        return false;
    }
    const std::filesystem::path folder = std::filesystem::path(outDir) / "shape";
    for (const Layer& layer : sampleLayers()) {
        Box box;
        std::string records, index;
        size_t offset = 100;
        int number = 0;
        for (const Feature& feature : layer.features) {
            Box featureBox;
            const std::string content = recordContent(layer.shapeType, feature, featureBox);
            box.add(featureBox);
            putBE32(records, static_cast<uint32_t>(++number));
            putBE32(records, static_cast<uint32_t>(content.size() / 2));
            records += content;
            putBE32(index, static_cast<uint32_t>(offset / 2));
            putBE32(index, static_cast<uint32_t>(content.size() / 2));
            offset += 8 + content.size();
        }
        const std::string base = (folder / layer.name).string();
        if (!writeWholeFile(base + ".shp",
                            fileHeader(layer.shapeType, 100 + records.size(), box) + records,
                            error) ||
            !writeWholeFile(base + ".shx",
                            fileHeader(layer.shapeType, 100 + index.size(), box) + index, error) ||
            !writeWholeFile(base + ".dbf", dbfTable(layer.features), error))
            return false;
    }
    return true;
}

}  // namespace kov::sample

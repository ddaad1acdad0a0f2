// SPDX-License-Identifier: MIT
#include "sample/SampleFgGml.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

namespace kov::sample {
namespace {

bool digitsAt(std::string_view code, size_t at, size_t count, int& value) {
    value = 0;
    for (size_t i = at; i < at + count; ++i) {
        if (code[i] < '0' || code[i] > '9') return false;
        value = value * 10 + (code[i] - '0');
    }
    return true;
}

void appendNumber(std::string& out, double value, const char* format) {
    char text[48];
    const int length = std::snprintf(text, sizeof text, format, value);
    out.append(text, static_cast<size_t>(length));
}

// "-9999." as the files write no data, else two decimals.
void appendValue(std::string& out, double metres) {
    if (metres == -9999.0) {
        out += "-9999.";
        return;
    }
    char text[32];
    const auto end = std::to_chars(text, text + sizeof text, metres, std::chars_format::fixed, 2);
    out.append(text, end.ptr);
}

std::string spacingText(const std::string& demType) {
    size_t digits = 0;
    while (digits < demType.size() && demType[digits] >= '0' && demType[digits] <= '9')
        ++digits;
    return demType.substr(0, digits) + "mメッシュ（標高）";
}

}  // namespace

bool meshEnvelope(std::string_view code, MeshEnvelope& out) {
    if (code.size() != 4 && code.size() != 6 && code.size() != 8) return false;
    int latCode = 0, lonCode = 0;
    if (!digitsAt(code, 0, 2, latCode) || !digitsAt(code, 2, 2, lonCode)) return false;
    double south = latCode / 1.5, west = 100.0 + lonCode;
    double height = 40.0 / 60, width = 1.0;
    // Each further pair of digits is the row (south to north) and column of a finer square.
    for (size_t at = 4, split = 8; at < code.size(); at += 2, split = 10) {
        int row = 0, col = 0;
        if (!digitsAt(code, at, 1, row) || !digitsAt(code, at + 1, 1, col)) return false;
        if (row >= static_cast<int>(split) || col >= static_cast<int>(split)) return false;
        height /= split;
        width /= split;
        south += row * height;
        west += col * width;
    }
    out = {south, west, south + height, west + width};
    return true;
}

std::vector<FgGmlCell> terrainCells(const FgGmlDocument& document, const FgGmlTerrain& terrain,
                                    int64_t count) {
    const int64_t cells = int64_t{document.cols} * document.rows;
    const int64_t start = int64_t{document.startY} * document.cols + document.startX;
    const int64_t end = count < 0 ? cells : std::min(cells, start + count);
    const MeshEnvelope& e = document.envelope;
    const double stepX = (e.east - e.west) / document.cols,
                 stepY = (e.north - e.south) / document.rows;
    std::vector<FgGmlCell> out;
    out.reserve(static_cast<size_t>(std::max<int64_t>(0, end - start)));
    for (int64_t i = start; i < end; ++i) {
        const int64_t row = i / document.cols, col = i % document.cols;
        out.push_back(terrain(e.north - (row + 0.5) * stepY, e.west + (col + 0.5) * stepX));
    }
    return out;
}

std::string fgGmlDemText(const FgGmlDocument& document) {
    std::string out;
    out.reserve(1024 + document.cells.size() * 20);
    out +=
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<Dataset xsi:schemaLocation=\"http://fgd.gsi.go.jp/spec/2008/FGD_GMLSchema "
        "FGD_GMLSchema.xsd\" xmlns:gml=\"http://www.opengis.net/gml/3.2\" "
        "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
        "xmlns:xlink=\"http://www.w3.org/1999/xlink\" "
        "xmlns=\"http://fgd.gsi.go.jp/spec/2008/FGD_GMLSchema\" gml:id=\"Dataset1\">\n"
        "<gml:description>基盤地図情報メタデータ ID=fmdid:15-3101</gml:description>\n"
        "<gml:name>基盤地図情報ダウンロードデータ（GML版）</gml:name>\n"
        "<DEM gml:id=\"DEM001\">\n";
    out += "<fid>fgoid:10-00100-15-60101-" + document.meshCode + "</fid>\n";
    out +=
        "<lfSpanFr gml:id=\"DEM001-1\"><gml:timePosition>2016-10-01</gml:timePosition>"
        "</lfSpanFr>\n<devDate gml:id=\"DEM001-2\"><gml:timePosition>2016-10-01"
        "</gml:timePosition></devDate>\n<orgGILvl>0</orgGILvl>\n<orgMDId>H23G0104</orgMDId>\n";
    out += "<type>" + spacingText(document.demType) + "</type>\n";
    out += "<mesh>" + document.meshCode + "</mesh>\n";
    out += "<coverage gml:id=\"DEM001-3\">\n<gml:boundedBy>\n<gml:Envelope srsName=\"" +
           document.srsName + "\">\n<gml:lowerCorner>";
    const MeshEnvelope& e = document.envelope;
    appendNumber(out, e.south, "%.9g");
    out += ' ';
    appendNumber(out, e.west, "%.9g");
    out += "</gml:lowerCorner>\n<gml:upperCorner>";
    appendNumber(out, e.north, "%.9g");
    out += ' ';
    appendNumber(out, e.east, "%.9g");
    out +=
        "</gml:upperCorner>\n</gml:Envelope>\n</gml:boundedBy>\n<gml:gridDomain>\n"
        "<gml:Grid dimension=\"2\" gml:id=\"DEM001-4\">\n<gml:limits>\n<gml:GridEnvelope>\n"
        "<gml:low>0 0</gml:low>\n<gml:high>";
    out += std::to_string(document.cols - 1) + ' ' + std::to_string(document.rows - 1);
    out +=
        "</gml:high>\n</gml:GridEnvelope>\n</gml:limits>\n<gml:axisLabels>x y"
        "</gml:axisLabels>\n</gml:Grid>\n</gml:gridDomain>\n<gml:rangeSet>\n<gml:DataBlock>\n"
        "<gml:rangeParameters><QuantityList uom=\"DEM構成点\"/></gml:rangeParameters>\n"
        "<gml:tupleList>\n";
    for (const FgGmlCell& cell : document.cells) {
        out += cell.type;
        out += ',';
        appendValue(out, cell.metres);
        out += '\n';
    }
    out +=
        "</gml:tupleList>\n</gml:DataBlock>\n</gml:rangeSet>\n<gml:coverageFunction>\n"
        "<gml:GridFunction>\n<gml:sequenceRule order=\"+x-y\">Linear</gml:sequenceRule>\n"
        "<gml:startPoint>";
    out += std::to_string(document.startX) + ' ' + std::to_string(document.startY);
    out +=
        "</gml:startPoint>\n</gml:GridFunction>\n</gml:coverageFunction>\n</coverage>\n"
        "</DEM>\n</Dataset>\n";
    return out;
}

}  // namespace kov::sample

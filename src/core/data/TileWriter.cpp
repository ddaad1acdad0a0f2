// SPDX-License-Identifier: MIT
#include "core/data/TileWriter.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "core/base/AtomicFile.h"
#include "core/base/TextCodec.h"

namespace kov {
namespace {

constexpr int kFieldWidth = 5;
constexpr int kPrefixWidth = 6;     // characters 1 to 6: not read, the sheet code's tail
constexpr int kRowNumberWidth = 4;  // characters 7 to 10: 1 for the northernmost row

// "%5d" of every code from -9999 to 99999, without the cost of printf per field.
class FieldTable {
public:
    static const FieldTable& instance() {
        static const FieldTable table;
        return table;
    }
    const char* field(int code) const { return &text_[offset(code)]; }

private:
    static size_t offset(int code) {
        return static_cast<size_t>(code - kTileWaterCode) * kFieldWidth;
    }
    // One more byte for the terminator snprintf writes after the last field.
    FieldTable() : text_(offset(kTileHighestCode + 1) + 1) {
        for (int c = kTileWaterCode; c <= kTileHighestCode; ++c)
            std::snprintf(&text_[offset(c)], kFieldWidth + 1, "%5d", c);
    }
    std::vector<char> text_;
};

bool isFieldCode(int code) {
    return code == kTileWaterCode || code == kTileNoDataCode || isWritableElevationCode(code);
}

// The sheet code without its zone digits, padded to the prefix width.
std::string recordPrefix(const std::string& code) {
    std::string prefix = code.substr(std::min<size_t>(2, code.size()));
    prefix.resize(kPrefixWidth, ' ');
    return prefix;
}

// A cell size with the given decimals ("5.00"), or in full when those would change it: the
// reader refuses a tile whose lines 5 and 6 are not the same number.
std::string cellSizeText(double size, int decimals) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, size);
    if (std::strtod(text, nullptr) != size) std::snprintf(text, sizeof text, "%.17g", size);
    return text;
}

// A coordinate in metres as the header's whole centimetres.
std::string centimetres(double metres) {
    return std::to_string(std::llround(metres * 100.0));
}

}  // namespace

bool formatTileData(const MeshTile& tile, std::string& text, std::string* error) {
    const FieldTable& fields = FieldTable::instance();
    const std::string prefix = recordPrefix(tile.code);
    const size_t eol = tile.crlf ? 2 : 1;
    const size_t recordLength =
        kPrefixWidth + kRowNumberWidth + size_t{kFieldWidth} * tile.cols + eol;
    text.resize(recordLength * tile.rows);
    char* p = text.data();
    for (int r = 0; r < tile.rows; ++r) {
        std::memcpy(p, prefix.data(), kPrefixWidth);
        char number[16];
        std::snprintf(number, sizeof number, "%*d", kRowNumberWidth, r + 1);
        std::memcpy(p + kPrefixWidth, number, kRowNumberWidth);
        p += kPrefixWidth + kRowNumberWidth;
        const int32_t* row = &tile.codes[static_cast<size_t>(r) * tile.cols];
        for (int c = 0; c < tile.cols; ++c) {
            if (!isFieldCode(row[c])) {
                if (error)
                    *error = "tile " + tile.code + " cannot hold the code " +
                             std::to_string(row[c]) + " (row " + std::to_string(r + 1) +
                             ", column " + std::to_string(c + 1) + ")";
                return false;
            }
            std::memcpy(p, fields.field(row[c]), kFieldWidth);
            p += kFieldWidth;
        }
        if (tile.crlf) *p++ = '\r';
        *p++ = '\n';
    }
    return true;
}

std::string tileHeaderText(const MeshTile& tile) {
    const std::string lines[21][2] = {
        {"ファイル名", tile.code + ".kov"},
        {"データ種別", "5mメッシュ（標高）"},
        {"列数", std::to_string(tile.cols)},
        {"行数", std::to_string(tile.rows)},
        {"メッシュ間隔(m)", cellSizeText(tile.cellSize, 2)},
        {"メッシュ間隔(m)詳細", cellSizeText(tile.cellSize, 3)},
        {"測地系", datumName(tile.datum)},
        {"作成日", tile.created},
        {"作成者", tile.author},
        {"標高単位(m)", "0.1"},
        {"記録形式", "固定長 5桁"},
        {"図郭番号", tile.code},
        {"水域コード", std::to_string(kTileWaterCode)},
        {"欠測コード", std::to_string(kTileNoDataCode)},
        {"名称", tile.name},
        {"計測方法", tile.method},
        {"座標系", std::to_string(tile.zone)},
        {"南端X(cm)", centimetres(tile.south)},
        {"西端Y(cm)", centimetres(tile.west)},
        {"北端X(cm)", centimetres(tile.south + tile.rows * tile.cellSize)},
        {"東端Y(cm)", centimetres(tile.west + tile.cols * tile.cellSize)},
    };
    const char* eol = tile.crlf ? "\r\n" : "\n";
    std::string utf8;
    for (const auto& line : lines)
        utf8 += line[0] + "," + line[1] + eol;
    std::string cp932;
    if (!utf8ToCp932(utf8, cp932)) return std::string();
    return cp932;
}

bool writeMeshTile(const std::string& folder, const MeshTile& tile, std::string* error) {
    const std::filesystem::path root(folder);
    const std::filesystem::path headerPath = root / "Header" / (tile.code + ".csv");
    const std::filesystem::path dataPath = root / "Data" / (tile.code + ".kov");
    for (const auto& sub : {headerPath.parent_path(), dataPath.parent_path()}) {
        std::error_code ec;
        std::filesystem::create_directories(sub, ec);
        if (ec) {
            if (error) *error = "cannot create the folder " + sub.string() + ": " + ec.message();
            return false;
        }
    }
    const std::string header = tileHeaderText(tile);
    if (header.empty()) {
        if (error) *error = "the header of tile " + tile.code + " has a text without a CP932 form";
        return false;
    }
    std::string data;
    if (!formatTileData(tile, data, error)) return false;
    const auto replace = [error](const std::filesystem::path& path, const std::string& bytes) {
        std::string why;
        if (replaceFileAtomically(path.string(), bytes, &why)) return true;
        if (error) *error = path.string() + ": " + why;
        return false;
    };
    return replace(headerPath, header) && replace(dataPath, data);
}

}  // namespace kov

// SPDX-License-Identifier: MIT
#include "core/data/ZarVeyMesh5.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <filesystem>

#include "core/base/PathNames.h"
#include "core/base/TextCodec.h"
#include "core/base/TextScan.h"
#include "core/data/HxFile.h"
#include "core/data/cache/TileCache.h"

namespace kov {
namespace {

constexpr size_t kHeaderLineLimit = 259999;
constexpr size_t kRecordLineLimit = 262143;
constexpr int kRequiredHeaderValues = 21;
constexpr int kRowNumberOffset = 6;  // characters 7 to 10
constexpr int kRowNumberWidth = 4;
constexpr int kFirstFieldOffset = 10;  // fields start at character 11
constexpr int kFieldWidth = 5;
constexpr int kWaterField = -9999;
constexpr int kNoDataField = -1111;

// The fixed-width integer rule: digits accumulate; a minus sign before any nonzero digit makes
// the number negative and ends it otherwise; any other character ends a nonzero number and is
// skipped before one.
inline int parseFixed(const char* p, size_t n) {
    int value = 0;
    bool negative = false;
    for (size_t i = 0; i < n; ++i) {
        const char c = p[i];
        const unsigned digit = static_cast<unsigned>(c - '0');
        if (digit < 10) {
            if (value < 100000000) value = value * 10 + static_cast<int>(digit);
        } else if (c == '-') {
            if (value != 0) break;
            negative = true;
        } else if (value > 0) {
            break;
        }
    }
    return negative ? -value : value;
}

// The second CSV field of a header line. Leading blanks and tabs are skipped; a quoted field
// runs to the next lone quote ("" stands for one quote). A Shift_JIS character is kept whole.
std::string secondField(std::string_view line) {
    const bool sjis = !isValidUtf8(line);
    auto characterLength = [&](size_t pos) -> size_t {
        const bool pair =
            sjis && pos + 1 < line.size() && isSjisLeadByte(static_cast<unsigned char>(line[pos]));
        return pair ? 2 : 1;
    };
    size_t pos = 0;
    for (int field = 0; field < 2; ++field) {
        while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t'))
            ++pos;
        std::string value;
        if (pos < line.size() && line[pos] == '"') {
            ++pos;
            while (pos < line.size()) {
                if (line[pos] == '"') {
                    if (pos + 1 < line.size() && line[pos + 1] == '"') {
                        value += '"';
                        pos += 2;
                        continue;
                    }
                    ++pos;
                    break;
                }
                const size_t length = characterLength(pos);
                value.append(line.substr(pos, length));
                pos += length;
            }
            // Text between the closing quote and the next comma is not part of the field.
            while (pos < line.size() && line[pos] != ',')
                pos += characterLength(pos);
        } else {
            while (pos < line.size() && line[pos] != ',' && line[pos] != '\r' &&
                   line[pos] != '\n') {
                const size_t length = characterLength(pos);
                value.append(line.substr(pos, length));
                pos += length;
            }
        }
        if (field == 1) return value;
        if (pos >= line.size() || line[pos] != ',') break;
        ++pos;
    }
    return {};
}

// The cache key of a local tile: its data file and the header the reader finds first under the
// names as written; none when the header needs a search that ignores case, or for internet paths.
std::optional<std::string> tileCacheKey(const std::string& dataPath) {
    if (isInternetPath(dataPath)) return std::nullopt;
    const std::optional<std::string> dataKey = sourceKey({dataPath});
    if (!dataKey) return std::nullopt;
    const std::string folder = splitFolder(dataPath).first;
    const std::string base = baseName(dataPath);
    for (const std::string& header :
         {folder + base + ".csv", folder + "../Header/" + base + ".csv"}) {
        std::string key = "ZarVeyMesh5\n" + *dataKey;
        if (addToSourceKey(key, header)) return key;
    }
    return std::nullopt;
}

}  // namespace

ZarVeyMesh5::ZarVeyMesh5() {
    cellSize = 5.0;
    scale = 0.1;
}

int ZarVeyMesh5::Load(const std::string& filePath) {
    const std::shared_ptr<TileCache> cache = TileCache::active();
    const std::optional<std::string> key = cache ? tileCacheKey(filePath) : std::nullopt;
    auto reread = [filePath]() -> std::unique_ptr<ZarHMesh> {
        auto fresh = std::make_unique<ZarVeyMesh5>();
        if (!fresh->LoadSource(filePath)) return nullptr;
        return fresh;
    };
    if (key && cache->loadMesh(*key, *this, reread, filePath)) {
        errorText.clear();
        headerSearch = HeaderSearch::Found;
        path = filePath;
        return 1;
    }
    const int result = LoadSource(filePath);
    // Only what the files held from before the read to after it is kept under their key.
    if (result && key && tileCacheKey(filePath) == key && cache->storeMesh(*key, *this, filePath))
        cache->serveFromEntry(*key, *this, reread);
    return result;
}

int ZarVeyMesh5::LoadSource(const std::string& filePath) {
    // Projects load hundreds of tiles of the same size: keep one read buffer per thread.
    thread_local FileBuffer spare;
    errorText.clear();
    const std::unique_ptr<HxFile> file = openFile(filePath, std::move(spare), &errorText);
    if (!file) return 0;
    const int result = ReadTile(*file);
    spare = file->takeContents();
    path = filePath;
    return result;
}

int ZarVeyMesh5::ReadTile(const HxFile& dataFile) {
    const std::string& fullPath = dataFile.fullPath();
    if (fullPath.empty()) return 0;
    const std::string folder = splitFolder(fullPath).first;
    const std::string base = baseName(fullPath);
    const std::string beside = folder + base + ".csv";
    const std::string inHeaderFolder = folder + "../Header/" + base + ".csv";
    // A header that is there but cannot be read (a folder, a FIFO, no permission) is named
    // with its reason, not reported as missing.
    std::string unreadable;
    auto openHeader = [&](const std::string& candidate) {
        std::string reason;
        std::unique_ptr<HxFile> file = openFile(candidate, {}, &reason);
        std::error_code error;
        if (!file && unreadable.empty() && !isInternetPath(candidate) &&
            std::filesystem::exists(candidate, error))
            unreadable = candidate + " cannot be read: " + reason;
        return file;
    };
    // The names as written first: the usual layouts then need no folder listing.
    std::unique_ptr<HxFile> header = openHeader(beside);
    if (!header) header = openHeader(inHeaderFolder);
    if (!header && !isInternetPath(fullPath)) {
        header = openHeader(findPathIgnoringCase(beside));
        if (!header) header = openHeader(findPathIgnoringCase(inHeaderFolder));
    }
    headerSearch = header               ? HeaderSearch::Found
                   : unreadable.empty() ? HeaderSearch::Missing
                                        : HeaderSearch::Unreadable;
    if (!header) {
        errorText = unreadable.empty()
                        ? "its header " + base + ".csv is found neither beside it nor in ../Header"
                        : "its header " + unreadable;
        return 0;
    }
    return ReadTileFiles(header->contents(), dataFile.contents());
}

std::vector<std::string> ZarVeyMesh5::ReadHeaderValues(std::string_view header) {
    std::vector<std::string> values(1);
    forEachLine(header, kHeaderLineLimit,
                [&](std::string_view line) { values.push_back(secondField(line)); });
    return values;
}

int64_t ZarVeyMesh5::cellBound(size_t dataBytes) {
    return std::max<int64_t>(kFreeCells,
                             kCellsPerField * static_cast<int64_t>(dataBytes / kFieldWidth));
}

int ZarVeyMesh5::parseFixedInt(std::string_view field) {
    return parseFixed(field.data(), field.size());
}

int ZarVeyMesh5::ReadTileFiles(std::string_view header, std::string_view data) {
    errorText.clear();
    const std::vector<std::string> values = ReadHeaderValues(header);
    auto refuse = [&](std::string reason) {
        errorText = "the header " + std::move(reason);
        return 0;
    };
    if (static_cast<int>(values.size()) <= kRequiredHeaderValues)
        return refuse("has " + std::to_string(values.size() - 1) + " lines, " +
                      std::to_string(kRequiredHeaderValues) + " are needed");

    name = legacyTextToUtf8(values[15]);
    const int newCols = parseLeadingInt(values[3]);
    const int newRows = parseLeadingInt(values[4]);
    cellSize = parseLeadingDouble(values[5]);
    if (cellSize != parseLeadingDouble(values[6]))
        return refuse("gives cells that are not square (lines 5 and 6 differ)");
    if (!(cellSize > 0.0 && cellSize <= 1000.0))
        return refuse("gives a cell size outside 0 to 1000 m (line 5)");
    // The corners are in centimetres; a number beyond the range of doubles ("1e400") would make
    // an infinite extent that spoils the whole collection's.
    double corners[4];
    for (int i = 0; i < 4; ++i) {
        corners[i] = parseLeadingDouble(values[18 + i]) / 100.0;
        if (!std::isfinite(corners[i]))
            return refuse("gives a corner that is not a finite number (line " +
                          std::to_string(18 + i) + ")");
    }
    if (int64_t{newCols} * newRows > cellBound(data.size()))
        return refuse("gives a grid of " + std::to_string(newCols) + " x " +
                      std::to_string(newRows) + " cells, more than its data file of " +
                      std::to_string(data.size()) + " bytes can fill");
    if (!allocateCells(newCols, newRows))
        return refuse("gives a grid of " + std::to_string(newCols) + " x " +
                      std::to_string(newRows) + " cells, outside 1 to " +
                      std::to_string(kMaxCells) + " cells");
    zone = parseLeadingInt(values[17]);
    datum = datumOfText(legacyTextToUtf8(values[7]));
    ymin = corners[0];
    xmin = corners[1];
    ymax = corners[2];
    xmax = corners[3];

    int32_t lowest = INT32_MAX;
    int32_t highest = INT32_MIN;
    int32_t* const codes = cells.data();
    forEachLine(data, kRecordLineLimit, [&](std::string_view record) {
        if (record.size() <= static_cast<size_t>(kRowNumberOffset)) return;
        const int row =
            parseFixed(record.data() + kRowNumberOffset,
                       std::min<size_t>(kRowNumberWidth, record.size() - kRowNumberOffset));
        if (row < 1 || row > rows) return;
        int32_t* out = codes + static_cast<size_t>(rows - row) * cols;
        const size_t available = record.size() > static_cast<size_t>(kFirstFieldOffset)
                                     ? record.size() - kFirstFieldOffset
                                     : 0;
        const char* field = record.data() + kFirstFieldOffset;
        // Fields past the end of a short record read as no data; a cut field reads what is left.
        const int whole = static_cast<int>(std::min<size_t>(cols, available / kFieldWidth));
        auto store = [&](int c, int code) {
            if (code == kWaterField) {
                out[c] = MESH_WATER;
            } else if (code == kNoDataField) {
                out[c] = MESH_NODATA;
            } else {
                out[c] = code;
                lowest = std::min(lowest, code);
                highest = std::max(highest, code);
            }
        };
        for (int c = 0; c < whole; ++c)
            store(c, parseFixed(field + c * kFieldWidth, kFieldWidth));
        int present = whole;
        if (present < cols && available % kFieldWidth != 0) {
            store(present, parseFixed(field + present * kFieldWidth, available % kFieldWidth));
            ++present;
        }
        for (int c = present; c < cols; ++c)
            out[c] = MESH_NODATA;
    });
    if (lowest <= highest) {
        minRaw = lowest;
        maxRaw = highest;
    }
    compactCells();
    return 1;
}

}  // namespace kov

// SPDX-License-Identifier: MIT
#include "core/data/image/WorldFile.h"

#include <charconv>
#include <cmath>

#include "core/base/PathNames.h"
#include "core/data/HxFile.h"

namespace kov {
namespace {

struct ExtensionRow {
    std::string_view image;
    std::vector<std::string_view> worldFiles;
};

const std::vector<ExtensionRow>& extensionTable() {
    static const std::vector<ExtensionRow> table = {
        {".tif", {".tfw", ".tifw"}},         {".tiff", {".tfw", ".tifw"}},
        {".jpg", {".jpw", ".jpgw", ".jgw"}}, {".jpeg", {".jpw", ".jpgw", ".jgw"}},
        {".png", {".pgw", ".pngw"}},         {".ecw", {".eww", ".ecww"}},
        {".jp2", {".jw2", ".jp2w"}},         {".j2k", {".jwk", ".j2kw"}},
        {".sid", {".sdw", ".sidw"}},
    };
    return table;
}

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}

// Reads the next blank-separated number; false when the next word is not a finite number.
bool nextNumber(std::string_view& text, double& value) {
    size_t start = 0;
    while (start < text.size() && isBlank(text[start]))
        ++start;
    size_t end = start;
    while (end < text.size() && !isBlank(text[end]))
        ++end;
    std::string_view word = text.substr(start, end - start);
    text.remove_prefix(end);
    if (!word.empty() && word[0] == '+') word.remove_prefix(1);
    if (word.empty()) return false;
    const auto [ptr, ec] = std::from_chars(word.data(), word.data() + word.size(), value);
    return ec == std::errc() && ptr == word.data() + word.size() && std::isfinite(value);
}

// Rounds to 8 decimal places the way printing with "%.8f" and reading back does.
double roundTo8Places(double v) {
    char buffer[400];
    const auto printed =
        std::to_chars(buffer, buffer + sizeof buffer, v, std::chars_format::fixed, 8);
    if (printed.ec != std::errc()) return v;
    double back = v;
    std::from_chars(buffer, printed.ptr, back);
    return back;
}

}  // namespace

std::vector<std::string_view> worldFileExtensions(std::string_view imageExtension) {
    for (const auto& row : extensionTable())
        if (equalsIgnoringCase(row.image, imageExtension)) return row.worldFiles;
    return {};
}

std::optional<MapRect> parseWorldFile(std::string_view text, int width, int height) {
    double a, d, b, e, c, f;
    for (double* v : {&a, &d, &b, &e, &c, &f})
        if (!nextNumber(text, *v)) return std::nullopt;
    const double w = std::fabs(std::sqrt(a * a + d * d));
    const double h = std::fabs(std::sqrt(b * b + e * e));
    if (!(w > 0.0) || !(h > 0.0)) return std::nullopt;
    MapRect r;
    r.xmin = c - w / 2;
    r.ymax = f + h / 2;
    r.xmax = r.xmin + width * w;
    r.ymin = r.ymax - height * h;
    if (!std::isfinite(r.xmin) || !std::isfinite(r.ymin) || !std::isfinite(r.xmax) ||
        !std::isfinite(r.ymax))
        return std::nullopt;
    r.xmin = roundTo8Places(r.xmin);
    r.ymin = roundTo8Places(r.ymin);
    r.xmax = roundTo8Places(r.xmax);
    r.ymax = roundTo8Places(r.ymax);
    return r;
}

std::optional<MapRect> applyWorldFiles(const std::string& imagePath, int width, int height) {
    const std::string stem = withoutExtension(imagePath);
    for (std::string_view extension : worldFileExtensions(fileExtension(imagePath))) {
        const std::string found = findPathIgnoringCase(stem + std::string(extension));
        if (found.empty()) continue;
        const auto file = openFile(found);
        if (!file) continue;
        if (auto rect = parseWorldFile(file->contents(), width, height)) return rect;
    }
    return std::nullopt;
}

}  // namespace kov

// SPDX-License-Identifier: MIT
#include "cli/OptionParsers.h"

#include <charconv>
#include <cmath>
#include <utility>

#include "core/flood/FloodEstimate.h"

namespace kov::cli {
namespace {

template <typename Whole>
bool parseWhole(std::string_view text, Whole& out, Whole min, Whole max) {
    Whole value = 0;
    const auto r = std::from_chars(text.data(), text.data() + text.size(), value);
    if (r.ec != std::errc() || r.ptr != text.data() + text.size() || value < min || value > max)
        return false;
    out = value;
    return true;
}

// The one reader of decimal numbers: a finite number at text[i], after a "+" when plusAllowed;
// i moves past it.
bool scanDecimal(std::string_view text, size_t& i, double& out, bool plusAllowed) {
    size_t at = i;
    if (plusAllowed && at < text.size() && text[at] == '+') ++at;
    double value = 0.0;
    const auto r = std::from_chars(text.data() + at, text.data() + text.size(), value);
    if (r.ec != std::errc() || !std::isfinite(value)) return false;
    i = static_cast<size_t>(r.ptr - text.data());
    out = value;
    return true;
}

bool wholeDecimal(std::string_view text, double& out, bool plusAllowed) {
    size_t i = 0;
    double value = 0.0;
    if (!scanDecimal(text, i, value, plusAllowed) || i != text.size()) return false;
    out = value;
    return true;
}

}  // namespace

bool parseNumber(std::string_view text, int& out, int min, int max) {
    return parseWhole(text, out, min, max);
}

bool parseNumber(std::string_view text, long long& out, long long min, long long max) {
    return parseWhole(text, out, min, max);
}

bool parseNumber(std::string_view text, double& out, double min, double max) {
    double value = 0.0;
    if (!wholeDecimal(text, value, false) || !(value >= min && value <= max)) return false;
    out = value;
    return true;
}

bool parseCoordinate(std::string_view text, double& out) {
    return wholeDecimal(text, out, true);
}

bool parseSize(std::string_view text, int& w, int& h) {
    const size_t x = text.find_first_of("xX");
    int a = 0, b = 0;
    if (x == std::string_view::npos || !parseNumber(text.substr(0, x), a, 1, 20000) ||
        !parseNumber(text.substr(x + 1), b, 1, 20000))
        return false;
    w = a;
    h = b;
    return true;
}

bool parseRect(std::string_view text, MapRect& rect) {
    const std::vector<std::string> parts = split(text, ',');
    double v[4];
    if (parts.size() != 4) return false;
    for (int i = 0; i < 4; ++i)
        if (!parseNumber(parts[static_cast<size_t>(i)], v[i])) return false;
    if (!(v[2] > v[0] && v[3] > v[1])) return false;
    rect = {v[0], v[1], v[2], v[3]};
    return true;
}

bool parsePair(std::string_view text, double& first, double& second) {
    auto skipBlanks = [&](size_t i) {
        while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r')))
            ++i;
        return i;
    };
    double a = 0.0, b = 0.0;
    size_t i = skipBlanks(0);
    if (!scanDecimal(text, i, a, true)) return false;
    const size_t afterFirst = i;
    i = skipBlanks(i);
    if (i < text.size() && text[i] == ',')
        i = skipBlanks(i + 1);
    else if (i == afterFirst)
        return false;  // the numbers need a separator
    if (!scanDecimal(text, i, b, true) || skipBlanks(i) != text.size()) return false;
    first = a;
    second = b;
    return true;
}

bool parsePoint(std::string_view text, FPoint& point) {
    double e = 0.0, n = 0.0;
    if (!parsePair(text, e, n)) return false;
    point = {e, n, 0.0};
    return true;
}

std::vector<std::string> split(std::string_view text, char separator) {
    std::vector<std::string> parts;
    size_t from = 0;
    for (;;) {
        const size_t at = text.find(separator, from);
        parts.emplace_back(text.substr(from, at - from));
        if (at == std::string_view::npos) return parts;
        from = at + 1;
    }
}

bool parseColors(std::string_view text, std::vector<uint32_t>& colors) {
    std::vector<uint32_t> read;
    for (const std::string& item : split(text, ';')) {
        const std::vector<std::string> rgb = split(item, ',');
        if (rgb.size() != 3) return false;
        uint32_t color = 0;
        for (int k = 0; k < 3; ++k) {
            int v = 0;
            if (!parseNumber(rgb[static_cast<size_t>(k)], v, 0, 255)) return false;
            color |= static_cast<uint32_t>(v) << (8 * k);
        }
        read.push_back(color);
    }
    if (read.size() > static_cast<size_t>(kMaxRanks)) return false;
    colors = std::move(read);
    return true;
}

}  // namespace kov::cli

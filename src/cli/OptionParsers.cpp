#include "cli/OptionParsers.h"

#include <charconv>
#include <cmath>

#include "core/flood/FloodEstimate.h"

namespace kov::cli {
namespace {

template <typename Number>
bool parseWhole(std::string_view text, Number& out) {
    const auto r = std::from_chars(text.data(), text.data() + text.size(), out);
    return r.ec == std::errc() && r.ptr == text.data() + text.size();
}

}  // namespace

bool parseInt(std::string_view text, int& out) {
    return parseWhole(text, out);
}

bool parseInt(std::string_view text, long long& out) {
    return parseWhole(text, out);
}

bool parseDouble(std::string_view text, double& out) {
    double value = 0.0;
    if (!parseWhole(text, value) || !std::isfinite(value)) return false;
    out = value;
    return true;
}

bool parseSize(std::string_view text, int& w, int& h) {
    const size_t x = text.find_first_of("xX");
    int a = 0, b = 0;
    if (x == std::string_view::npos || !parseInt(text.substr(0, x), a) ||
        !parseInt(text.substr(x + 1), b) || a < 1 || b < 1 || a > 20000 || b > 20000)
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
        if (!parseDouble(parts[static_cast<size_t>(i)], v[i])) return false;
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
    auto number = [&](size_t& i, double& out) {
        if (i < text.size() && text[i] == '+') ++i;
        const auto result = std::from_chars(text.data() + i, text.data() + text.size(), out);
        if (result.ec != std::errc() || !std::isfinite(out)) return false;
        i = static_cast<size_t>(result.ptr - text.data());
        return true;
    };
    size_t i = skipBlanks(0);
    if (!number(i, first)) return false;
    const size_t afterFirst = i;
    i = skipBlanks(i);
    if (i < text.size() && text[i] == ',')
        i = skipBlanks(i + 1);
    else if (i == afterFirst)
        return false;  // the numbers need a separator
    if (!number(i, second)) return false;
    return skipBlanks(i) == text.size();
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
    for (const std::string& item : split(text, ';')) {
        const std::vector<std::string> rgb = split(item, ',');
        if (rgb.size() != 3) return false;
        uint32_t color = 0;
        for (int k = 0; k < 3; ++k) {
            int v = -1;
            if (!parseInt(rgb[static_cast<size_t>(k)], v) || v < 0 || v > 255) return false;
            color |= static_cast<uint32_t>(v) << (8 * k);
        }
        colors.push_back(color);
    }
    return colors.size() <= static_cast<size_t>(kMaxRanks);
}

}  // namespace kov::cli

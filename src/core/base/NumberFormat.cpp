// SPDX-License-Identifier: MIT
#include "core/base/NumberFormat.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <system_error>

namespace kov {

namespace {

// Digits after the point are limited so that a text never grows without bound.
constexpr int kMaxDecimals = 60;

// "%.*f" without the locale.
std::string fixedText(double value, int decimals) {
    char buffer[512];
    auto [end, ec] =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
    if (ec != std::errc()) return {};
    return std::string(buffer, end);
}

// "%20.15e" without the locale: 15 digits after the point, right-aligned in 20 characters.
std::string exponentText(double value) {
    char buffer[64];
    auto [end, ec] =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific, 15);
    std::string text = ec == std::errc() ? std::string(buffer, end) : std::string();
    if (text.size() < 20) text.insert(0, 20 - text.size(), ' ');
    return text;
}

// Left-pads a non-negative number text with zeros to `width` characters ("%0*.*f").
std::string zeroPadded(std::string text, int width) {
    if (static_cast<int>(text.size()) < width) text.insert(0, width - text.size(), '0');
    return text;
}

bool readsAsZero(const std::string& text) {
    const char* first = text.data();
    const char* last = first + text.size();
    while (first != last && *first == ' ')
        ++first;
    if (first != last && *first == '+') ++first;
    double value = 1.0;
    auto [ptr, ec] = std::from_chars(first, last, value);
    return ec == std::errc() && ptr != first && value == 0.0;
}

}  // namespace

std::string formatGrouped(double value, int decimals) {
    if (std::fabs(value) > 1e15) return exponentText(value);
    if (std::fabs(value) < 1e-10) value = 0.0;
    const std::string text = fixedText(value, std::clamp(decimals, 0, kMaxDecimals));

    std::string out;
    out.reserve(text.size() + text.size() / 3);
    size_t pos = 0;
    if (pos < text.size() && (text[pos] == '-' || text[pos] == '+')) out += text[pos++];
    size_t point = text.find('.', pos);
    if (point == std::string::npos) point = text.size();
    const size_t digits = point - pos;
    for (size_t i = 0; i < digits; ++i) {
        out += text[pos + i];
        const size_t following = digits - 1 - i;
        if (following > 0 && following % 3 == 0) out += ',';
    }
    out.append(text, point, std::string::npos);
    if (!out.empty() && (out.back() == '.' || out.back() == ',')) out.pop_back();
    return out;
}

std::string formatDms(double degrees, int decimals) {
    const int p = std::clamp(decimals, 0, kMaxDecimals);
    const int width = p >= 1 ? p + 3 : p + 2;
    std::string sign;
    double v = degrees;
    if (v < 0) {
        sign = "-";
        v = -v;
    }
    if (!std::isfinite(v)) return sign + fixedText(v, 0);

    double d = std::trunc(v);
    int m = static_cast<int>((v - d) * 60.0);
    double s = ((v - d) * 60.0 - m) * 60.0;
    if (s > 59.0) {
        // Seconds that print as 60 carry into the minutes, and 60 minutes into the degrees.
        const std::string rounded = zeroPadded(fixedText(s, p), width);
        if (rounded.compare(0, 2, "60") == 0) {
            ++m;
            s = 0.0;
            if (m >= 60) {
                m = 0;
                d += 1.0;
            }
        }
    }
    std::string text = sign + fixedText(d, 0) + ':';
    text += static_cast<char>('0' + m / 10);
    text += static_cast<char>('0' + m % 10);
    text += ':';
    text += zeroPadded(fixedText(s + 1e-30, p), width);
    return text;
}

std::string formatShort(double value, int decimals) {
    // Only tiny positive values take the exponent form; a tiny negative value prints as "-0..."
    // at ordinary precision and so becomes "0" below.
    if (std::fabs(value) > 1e15 || (value > 1e-100 && value < 1e-10)) return exponentText(value);

    int n = decimals < 0 ? (decimals < -15 ? 15 : -decimals) : decimals;
    n = std::clamp(n, 1, 15);
    const int integerLength = static_cast<int>(fixedText(value, 0).size());
    if (n + integerLength > 15) n = std::max(0, 15 - integerLength);

    std::string text = fixedText(value, n);
    const size_t point = text.find('.');
    if (point != std::string::npos) {
        size_t end = text.find_last_not_of('0');
        if (end == point) end = point - 1;
        text.erase(end + 1);
    }
    if (decimals < 1) {
        const size_t cut = text.find('.');
        if (cut != std::string::npos) text.erase(cut);
    }
    if (readsAsZero(text)) return "0";
    return text;
}

}  // namespace kov

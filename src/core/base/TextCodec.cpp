// SPDX-License-Identifier: MIT
#include "core/base/TextCodec.h"

#include <iconv.h>

#include <cerrno>
#include <cstdint>

namespace kov {
namespace {

// One iconv conversion descriptor, closed on scope exit.
class Converter {
public:
    Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
    ~Converter() {
        if (valid()) iconv_close(cd_);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;
    bool valid() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

    // Converts text; an unconvertible sequence calls onInvalid, which either appends a
    // replacement and answers how many input bytes to skip, or answers 0 to fail.
    template <typename OnInvalid>
    bool convert(std::string_view text, std::string& out, OnInvalid onInvalid) {
        if (!valid()) return false;
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        std::string result;
        char* in = const_cast<char*>(text.data());
        size_t inLeft = text.size();
        char buffer[4096];
        while (inLeft > 0) {
            char* outPtr = buffer;
            size_t outLeft = sizeof buffer;
            const size_t rc = iconv(cd_, &in, &inLeft, &outPtr, &outLeft);
            result.append(buffer, static_cast<size_t>(outPtr - buffer));
            if (rc != static_cast<size_t>(-1)) continue;
            if (errno == E2BIG) continue;
            const size_t skip = onInvalid(std::string_view(in, inLeft), result);
            if (skip == 0) return false;
            in += skip;
            inLeft -= skip;
            iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        }
        out.swap(result);
        return true;
    }

private:
    iconv_t cd_;
};

}  // namespace

bool isValidUtf8(std::string_view text) {
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const auto* end = p + text.size();
    while (p < end) {
        const unsigned char c = *p;
        if (c < 0x80) {
            ++p;
            continue;
        }
        int length;
        uint32_t code;
        if (c >= 0xC2 && c <= 0xDF) {
            length = 2;
            code = c & 0x1F;
        } else if (c >= 0xE0 && c <= 0xEF) {
            length = 3;
            code = c & 0x0F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            length = 4;
            code = c & 0x07;
        } else {
            return false;
        }
        if (end - p < length) return false;
        for (int i = 1; i < length; ++i) {
            if ((p[i] & 0xC0) != 0x80) return false;
            code = (code << 6) | (p[i] & 0x3F);
        }
        // Overlong forms, surrogates and code points past U+10FFFF are not UTF-8.
        if ((length == 3 && code < 0x800) || (length == 4 && code < 0x10000) ||
            (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF) {
            return false;
        }
        p += length;
    }
    return true;
}

bool cp932ToUtf8(std::string_view text, std::string& out) {
    Converter converter("UTF-8", "CP932");
    return converter.convert(text, out, [](std::string_view rest, std::string& result) {
        result += "\xEF\xBF\xBD";  // U+FFFD
        const bool pair = rest.size() >= 2 && isSjisLeadByte(static_cast<unsigned char>(rest[0]));
        return size_t{pair ? 2u : 1u};
    });
}

bool utf8ToCp932(std::string_view text, std::string& out) {
    Converter converter("CP932", "UTF-8");
    return converter.convert(text, out, [](std::string_view, std::string&) { return size_t{0}; });
}

bool eucJpToUtf8(std::string_view text, std::string& out) {
    // How many bytes the sequence at the start of rest spans: 0x8E and a kana byte, 0x8F and two
    // bytes, or two bytes of 0xA1..0xFE; anything broken is skipped one byte at a time.
    const auto skip = [](std::string_view rest, std::string& result) {
        result += "\xEF\xBF\xBD";  // U+FFFD
        const auto byte = [&](size_t i) { return static_cast<unsigned char>(rest[i]); };
        const auto high = [&](size_t i) {
            return i < rest.size() && byte(i) >= 0xA1 && byte(i) <= 0xFE;
        };
        const unsigned char c = byte(0);
        if (c == 0x8E && rest.size() >= 2 && byte(1) >= 0xA1 && byte(1) <= 0xDF) return size_t{2};
        if (c == 0x8F && high(1) && high(2)) return size_t{3};
        if (c >= 0xA1 && c <= 0xFE && high(1)) return size_t{2};
        return size_t{1};
    };
    for (const char* name : {"EUC-JP-MS", "EUC-JP"}) {
        Converter converter("UTF-8", name);
        if (converter.valid()) return converter.convert(text, out, skip);
    }
    return false;
}

std::string legacyTextToUtf8(std::string_view text) {
    if (isValidUtf8(text)) return std::string(text);
    std::string converted;
    if (cp932ToUtf8(text, converted)) return converted;
    return std::string(text);
}

}  // namespace kov

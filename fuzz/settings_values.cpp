// SPDX-License-Identifier: MIT
// Feeds arbitrary bytes to the settings file parser and the value decoders, and checks that what
// the store writes reads back unchanged.
#include "core/base/IniFile.h"
#include "core/base/SettingsStore.h"

#include <bit>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace {

void check(bool condition) {
    if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace kov;
    using namespace kov::settings;
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    // Decoders take any text.
    (void)decodeColor(text, 0x123456);
    (void)decodeReal(text, 1.0);
    (void)decodeInt(text, 7);
    const std::vector<uint8_t> pairs = decodeLetterPairs(text);
    check(pairs.size() <= size / 2);
    std::vector<uint8_t> buffer(size > 0 ? data[0] % 64 : 0);
    const size_t copied = decodeBinary(text, buffer.data(), buffer.size());
    check(copied <= buffer.size());

    // Encoders round-trip.
    check(decodeLetterPairs(encodeLetterPairs(data, size)) ==
          std::vector<uint8_t>(data, data + size));
    if (size >= 8) {
        uint64_t bits;
        std::memcpy(&bits, data, 8);
        const double value = std::bit_cast<double>(bits);
        check(std::bit_cast<uint64_t>(decodeReal(encodeReal(value), 0.0)) == bits);
        uint32_t color;
        std::memcpy(&color, data, 4);
        check(decodeColor(encodeColor(color), ~color) == (color & 0x00FFFFFFu));
    }

    // The file text: parsing is stable, and a stored value reads back.
    IniFile file = IniFile::parse(text);
    const std::string written = file.text();
    check(IniFile::parse(written).text() == written);

    const size_t third = size / 3;
    const std::string_view section = text.substr(0, third);
    const std::string_view key = text.substr(third, third);
    const std::string_view value = text.substr(2 * third);
    (void)file.value(section, key);
    const bool stored = file.setValue(section, key, value);
    check(stored == (IniFile::isValidSection(section) && IniFile::isValidKey(key) &&
                     IniFile::isValidValue(value)));
    if (stored) {
        const std::string_view asRead = IniFile::valueAsRead(value);
        check(file.value(section, key) == asRead);
        const IniFile reread = IniFile::parse(file.text());
        check(reread.value(section, key) == asRead);
        check(reread.text() == file.text());
    }
    return 0;
}

// SPDX-License-Identifier: MIT
// The text of a settings file of sections and keys:
//
//   [Section]
//   Key=value
//
// Section and key names match without regard to ASCII letter case. A value is everything after the
// first "=" of its line, kept byte for byte. Lines are read with LF or CR LF endings (CRs before
// the LF are dropped) and written with LF. Lines that are neither a section header nor a key
// (comments, blank lines) are kept as they are. When a section or key occurs twice, the first one
// counts.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kov {

class IniFile {
public:
    // Any bytes parse; a leading UTF-8 byte order mark is skipped.
    static IniFile parse(std::string_view text);

    std::optional<std::string> value(std::string_view section, std::string_view key) const;

    // Replaces the key's line, or adds the key at the end of its section (adding the section at the
    // end of the file when missing). False, with nothing changed, when a name is not storable
    // (empty, surrounded by blanks, holding a line break, "=" in a key or "]" in a section) or the
    // value holds a line break.
    bool setValue(std::string_view section, std::string_view key, std::string_view value);

    static bool isValidSection(std::string_view section);
    static bool isValidKey(std::string_view key);
    static bool isValidValue(std::string_view value);
    // How a value written as stored reads back: without the blanks around it and one pair of
    // surrounding quotes, as the platform's profile functions read it.
    static std::string_view valueAsRead(std::string_view stored);

    // The file text: every line followed by LF.
    std::string text() const;

    bool empty() const { return lines_.empty(); }

private:
    struct Line {
        enum class Kind { Other, Section, Entry };
        Kind kind = Kind::Other;
        std::string text;       // the whole line without its line ending
        std::string name;       // section or key name, trimmed
        size_t valueStart = 0;  // for Entry: offset of the value in `text`
    };

    static Line classify(std::string text);
    // Index of the first section header with this name, or lines_.size().
    size_t findSection(std::string_view section) const;

    std::vector<Line> lines_;
};

}  // namespace kov

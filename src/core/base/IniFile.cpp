// SPDX-License-Identifier: MIT
#include "core/base/IniFile.h"

#include "core/base/PathNames.h"

namespace kov {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

bool hasLineBreak(std::string_view text) {
    return text.find_first_of("\r\n") != std::string_view::npos;
}

bool isStorableName(std::string_view name) {
    return !name.empty() && !isBlank(name.front()) && !isBlank(name.back()) && !hasLineBreak(name);
}

// As the platform's profile functions read a value: one pair of surrounding quotes is dropped.
std::string_view unquoted(std::string_view value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front())
        return value.substr(1, value.size() - 2);
    return value;
}

}  // namespace

IniFile::Line IniFile::classify(std::string text) {
    Line line;
    std::string_view view = text;
    size_t start = 0;
    while (start < view.size() && isBlank(view[start]))
        ++start;
    std::string_view rest = view.substr(start);
    if (!rest.empty() && rest.front() == '[') {
        std::string_view name = rest.substr(1);
        name = name.substr(0, name.find(']'));
        line.kind = Line::Kind::Section;
        line.name = std::string(trimmed(name));
    } else if (!rest.empty() && rest.front() != ';' && rest.front() != '#') {
        const size_t equals = view.find('=');
        if (equals != std::string_view::npos) {
            std::string_view key = trimmed(view.substr(0, equals));
            if (!key.empty()) {
                line.kind = Line::Kind::Entry;
                line.name = std::string(key);
                line.valueStart = equals + 1;
            }
        }
    }
    line.text = std::move(text);
    return line;
}

IniFile IniFile::parse(std::string_view text) {
    IniFile file;
    while (text.substr(0, 3) == "\xEF\xBB\xBF")
        text.remove_prefix(3);
    while (!text.empty()) {
        const size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        while (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        file.lines_.push_back(classify(std::string(line)));
    }
    return file;
}

size_t IniFile::findSection(std::string_view section) const {
    for (size_t i = 0; i < lines_.size(); ++i)
        if (lines_[i].kind == Line::Kind::Section && equalsIgnoringCase(lines_[i].name, section))
            return i;
    return lines_.size();
}

std::optional<std::string> IniFile::value(std::string_view section, std::string_view key) const {
    for (size_t i = findSection(section) + 1; i < lines_.size(); ++i) {
        const Line& line = lines_[i];
        if (line.kind == Line::Kind::Section) break;
        if (line.kind == Line::Kind::Entry && equalsIgnoringCase(line.name, key))
            return std::string(valueAsRead(std::string_view(line.text).substr(line.valueStart)));
    }
    return std::nullopt;
}

bool IniFile::isValidSection(std::string_view section) {
    return isStorableName(section) && section.find(']') == std::string_view::npos;
}

bool IniFile::isValidKey(std::string_view key) {
    return isStorableName(key) && key.find('=') == std::string_view::npos && key.front() != '[' &&
           key.front() != ';' && key.front() != '#';
}

std::string_view IniFile::valueAsRead(std::string_view stored) {
    return unquoted(trimmed(stored));
}

bool IniFile::isValidValue(std::string_view value) {
    return !hasLineBreak(value);
}

bool IniFile::setValue(std::string_view section, std::string_view key, std::string_view value) {
    if (!isValidSection(section) || !isValidKey(key) || !isValidValue(value)) return false;

    std::string entry;
    entry.reserve(key.size() + 1 + value.size());
    entry.append(key).append(1, '=').append(value);

    const size_t header = findSection(section);
    if (header == lines_.size()) {
        if (!lines_.empty() && !lines_.back().text.empty()) lines_.push_back(classify({}));
        std::string sectionLine = "[";  // built piecewise: GCC 12 warns falsely on "[" + string
        sectionLine.append(section).append("]");
        lines_.push_back(classify(sectionLine));
        lines_.push_back(classify(std::move(entry)));
        return true;
    }
    size_t insertAt = header + 1;
    for (size_t i = header + 1; i < lines_.size(); ++i) {
        Line& line = lines_[i];
        if (line.kind == Line::Kind::Section) break;
        if (line.kind != Line::Kind::Entry) continue;
        if (equalsIgnoringCase(line.name, key)) {
            line = classify(std::move(entry));
            return true;
        }
        insertAt = i + 1;
    }
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(insertAt),
                  classify(std::move(entry)));
    return true;
}

std::string IniFile::text() const {
    size_t size = 0;
    for (const Line& line : lines_)
        size += line.text.size() + 1;
    std::string out;
    out.reserve(size);
    for (const Line& line : lines_)
        out.append(line.text).append(1, '\n');
    return out;
}

}  // namespace kov

#include "cli/CliSupport.h"

#include <charconv>
#include <cmath>
#include <cstdio>

#include "data/HMeshProject.h"
#include "data/TextCodec.h"
#include "project/LayerLoader.h"

namespace kov::cli {

bool loadDataPaths(const std::vector<std::string>& paths, HMeshProject& project) {
    if (paths.empty()) {
        std::fprintf(stderr, "kovtool: no data path given\n");
        return false;
    }
    LoadReport report;
    LoadLayerPaths(paths, project, report);
    for (const auto& p : report.unsupported)
        std::fprintf(stderr, "kovtool: %s: no such file or not a layer file kovtool reads\n",
                     p.c_str());
    for (const auto& p : report.unreadable)
        std::fprintf(stderr, "kovtool: %s: not a readable 5 m mesh tile (data file or header)\n",
                     p.c_str());
    for (const auto& p : report.duplicates)
        std::fprintf(stderr, "kovtool: %s: skipped, the same mesh is already loaded\n", p.c_str());
    if (!report.ok()) return false;
    if (project.MeshCount() == 0) {
        std::fprintf(stderr, "kovtool: no mesh found in the given paths\n");
        return false;
    }
    return true;
}

std::string jsonNumber(double value) {
    if (!std::isfinite(value)) return "null";
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

std::string jsonString(std::string_view text) {
    const std::string utf8 = LegacyTextToUtf8(text);
    std::string out = "\"";
    for (const char ch : utf8) {
        const auto c = static_cast<unsigned char>(ch);
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (c < 0x20) {
                    char escape[8];
                    std::snprintf(escape, sizeof escape, "\\u%04x", c);
                    out += escape;
                } else {
                    out += ch;
                }
        }
    }
    return out + "\"";
}

bool parsePair(std::string_view text, double& first, double& second) {
    auto skipBlanks = [&](size_t i) {
        while (i < text.size() && (text[i] == ' ' || text[i] == '\t' || text[i] == '\r'))
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

}  // namespace kov::cli

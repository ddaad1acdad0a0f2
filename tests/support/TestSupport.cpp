#include "support/TestSupport.h"

#include <sys/wait.h>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace kov::test {

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "kovtest-XXXXXX").string();
    if (!mkdtemp(pattern.data())) std::abort();
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::string TempDir::file(const std::string& relative) const {
    return path_ + "/" + relative;
}

void writeFile(const std::string& path, const std::string& contents) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << contents;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream buffer;
    buffer << in.rdbuf();
    return buffer.str();
}

std::string headerText(const TileSpec& t) {
    const double cell = std::strtod(t.cellSize.c_str(), nullptr);
    const double xmax = t.xmin + t.cols * cell;
    const double ymax = t.ymin + t.rows * cell;
    char line[128];
    std::string text;
    for (int n = 1; n <= 21; ++n) {
        std::string value;
        switch (n) {
            case 3:
                value = std::to_string(t.cols);
                break;
            case 4:
                value = std::to_string(t.rows);
                break;
            case 5:
                value = t.cellSize;
                break;
            case 6:
                value = t.cellSize2;
                break;
            case 15:
                value = t.name;
                break;
            case 17:
                value = std::to_string(t.zone);
                break;
            case 18:
                std::snprintf(line, sizeof line, "%.0f", t.ymin * 100);
                value = line;
                break;
            case 19:
                std::snprintf(line, sizeof line, "%.0f", t.xmin * 100);
                value = line;
                break;
            case 20:
                std::snprintf(line, sizeof line, "%.0f", ymax * 100);
                value = line;
                break;
            case 21:
                std::snprintf(line, sizeof line, "%.0f", xmax * 100);
                value = line;
                break;
            default:
                value = "x" + std::to_string(n);
                break;
        }
        text += "item" + std::to_string(n) + "," + value + t.lineEnd;
    }
    return text;
}

std::string dataText(const TileSpec& t) {
    std::string text;
    char field[32];
    for (int r = 0; r < t.rows; ++r) {
        std::snprintf(field, sizeof field, "TILE01%4d", r + 1);
        text += field;
        for (int c = 0; c < t.cols; ++c) {
            const int code = t.codes.empty() ? 0 : t.codes[r][c];
            std::snprintf(field, sizeof field, "%5d", code);
            text += field;
        }
        text += t.lineEnd;
    }
    return text;
}

void writeTile(const TileSpec& tile, const std::string& dataPath, const std::string& headerPath) {
    writeFile(dataPath, dataText(tile));
    std::string header = headerPath;
    if (header.empty()) header = dataPath.substr(0, dataPath.rfind('.')) + ".csv";
    writeFile(header, headerText(tile));
}

std::string runCommand(const std::string& command, int* exitCode) {
    std::string output;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) {
        if (exitCode) *exitCode = -1;
        return output;
    }
    char buffer[65536];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        output.append(buffer, n);
    const int status = pclose(pipe);
    if (exitCode) *exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return output;
}

}  // namespace kov::test

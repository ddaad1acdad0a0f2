// SPDX-License-Identifier: MIT
#include "support/TestSupport.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <future>
#include <memory>
#include <sstream>

#include <QBuffer>
#include <QImage>

#include "core/data/HMeshProject.h"
#include "core/data/ZarVeyMesh5.h"
#include "core/project/ProjectFile.h"

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

namespace {

// Every test program and the programs it runs keep their tile cache in a folder of their own,
// never the user's.
struct PrivateCacheHome {
    TempDir home;
    PrivateCacheHome() { ::setenv("XDG_CACHE_HOME", home.path().c_str(), 1); }
};
const PrivateCacheHome privateCacheHome;

}  // namespace

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

void setModified(const std::string& path, int64_t seconds) {
    const timespec times[2] = {{0, UTIME_NOW}, {seconds, 0}};
    EXPECT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0) << path;
}

void damageEveryFile(const std::string& folder) {
    for (const auto& item : std::filesystem::directory_iterator(folder)) {
        std::string bytes = readFile(item.path());
        bytes[bytes.size() - 3] ^= 4;
        writeFile(item.path(), bytes);
    }
}

std::string repeat(const std::string& text, int times) {
    std::string out;
    out.reserve(text.size() * static_cast<size_t>(std::max(times, 0)));
    for (int i = 0; i < times; ++i)
        out += text;
    return out;
}

std::string encodedImage(const QImage& image, const char* format) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    return image.save(&buffer, format) ? bytes.toStdString() : std::string();
}

std::string headerText(const TileSpec& t) {
    const double cell = std::strtod(t.cellSize.c_str(), nullptr);
    auto cm = [](double metres) { return std::to_string(std::llround(metres * 100)); };
    std::string values[22];  // values 1..21; those the reader does not use are placeholders
    for (int n = 1; n <= 21; ++n)
        values[n] = "x" + std::to_string(n);
    values[3] = std::to_string(t.cols);
    values[4] = std::to_string(t.rows);
    values[5] = t.cellSize;
    values[6] = t.cellSize2;
    if (!t.datum.empty()) values[7] = t.datum;
    values[15] = t.name;
    values[17] = std::to_string(t.zone);
    values[18] = cm(t.ymin);
    values[19] = cm(t.xmin);
    values[20] = cm(t.ymin + t.rows * cell);
    values[21] = cm(t.xmin + t.cols * cell);
    std::string text;
    for (int n = 1; n <= 21; ++n)
        text += "item" + std::to_string(n) + "," + values[n] + "\n";
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
        text += "\n";
    }
    return text;
}

void writeTile(const TileSpec& tile, const std::string& dataPath, const std::string& headerPath) {
    writeFile(dataPath, dataText(tile));
    std::string header = headerPath;
    if (header.empty()) header = dataPath.substr(0, dataPath.rfind('.')) + ".csv";
    writeFile(header, headerText(tile));
}

std::string writeTileProject(const TileSpec& tile, const std::string& folder) {
    writeTile(tile, folder + "/tile.kov");
    HMeshProject project;
    std::unique_ptr<ZarHMesh> mesh = std::make_unique<ZarVeyMesh5>();
    if (!mesh->Load(folder + "/tile.kov") || project.AddMesh(mesh) != 1) return {};
    project.UpdateExtent();
    return SaveProjectFile(project, folder + "/tile.kovv5") ? folder + "/tile.kovv5"
                                                            : std::string();
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

bool endsWithoutBlocking(const std::string& fifo, const std::function<void()>& work) {
    std::future<void> done = std::async(std::launch::async, work);
    if (done.wait_for(std::chrono::seconds(10)) == std::future_status::ready) return true;
    while (done.wait_for(std::chrono::milliseconds(20)) != std::future_status::ready) {
        const int writer = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);  // fails without reader
        if (writer >= 0) ::close(writer);
    }
    return false;
}

}  // namespace kov::test

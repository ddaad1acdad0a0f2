// SPDX-License-Identifier: MIT
// Helpers shared by the tests: temporary folders, files and small tiles.
#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "core/base/HxProgress.h"

class QImage;

namespace kov::test {

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    // path() + "/" + relative
    std::string file(const std::string& relative) const;

private:
    std::string path_;
};

// Writes bytes to a file, creating its folders.
void writeFile(const std::string& path, const std::string& contents);
std::string readFile(const std::string& path);
// Sets the file's modification time to seconds after the epoch.
void setModified(const std::string& path, int64_t seconds);
// Flips a bit of the third byte from the end of every file in the folder.
void damageEveryFile(const std::string& folder);
// times copies of text, one after the other.
std::string repeat(const std::string& text, int times);
// The image as a file of a format Qt writes ("PNG", "BMP", "JPEG"); empty when it cannot.
std::string encodedImage(const QImage& image, const char* format);

// Description of a synthetic 5 m style tile; codes are given north row first, as the data file
// lists them (codes[0] is record row 1).
struct TileSpec {
    int cols = 4;
    int rows = 3;
    std::string cellSize = "5.0";
    std::string cellSize2 = "5.0";  // header value 6
    int zone = 9;
    std::string datum;  // header value 7, bytes as written; empty: a placeholder
    double xmin = 0.0;
    double ymin = 0.0;
    std::string name = "tile";            // header value 15, bytes as written
    std::vector<std::vector<int>> codes;  // rows x cols; empty: all zero
};

std::string headerText(const TileSpec& tile);
std::string dataText(const TileSpec& tile);
// Writes dataPath and its header beside it (or to headerPath when given).
void writeTile(const TileSpec& tile, const std::string& dataPath,
               const std::string& headerPath = std::string());
// Writes the tile as folder/tile.kov and a project of it, folder/tile.kovv5; answers the
// project's path.
std::string writeTileProject(const TileSpec& tile, const std::string& folder);

// A progress reporter that keeps each position with its total and the texts it is sent, and
// asks to cancel from call number cancelAt on (0: never).
class RecordingProgress : public HxProgress {
public:
    int SetPos(long long current, long long total) override {
        positions.push_back({current, total});
        return cancelAt > 0 && static_cast<int>(positions.size()) >= cancelAt;
    }
    void SetText(const std::string& text) override { texts += text; }
    std::vector<std::pair<long long, long long>> positions;
    std::string texts;
    int cancelAt = 0;
};

// Runs work on another thread. When it has not ended after ten seconds (an open waiting for a
// FIFO's writer), writers open the FIFO until the work ends, and the answer is false.
bool endsWithoutBlocking(const std::string& fifo, const std::function<void()>& work);

// Runs a shell command and returns its standard output; exitCode receives the exit status.
std::string runCommand(const std::string& command, int* exitCode = nullptr);

}  // namespace kov::test

// SPDX-License-Identifier: MIT
// Fuzzes the whole project file reader: the input is the project file. Its layer paths resolve
// against a small fixed data folder made at start-up (two tiles), so that layer loading is
// reached. DSM point files are left out: gridding them at the tiny cell sizes a fuzzer writes
// is slow, not wrong, and their reader has its own fuzzer.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "core/data/HMeshProject.h"
#include "core/project/ProjectFile.h"

namespace {

void writeFile(const std::string& path, const std::string& bytes) {
    if (FILE* f = std::fopen(path.c_str(), "wb")) {
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
    }
}

// A 4 x 3 tile of 5 m cells with its header beside it (one "item,value" line per value).
void writeTile(const std::string& folder, const std::string& name, int westCm) {
    std::string values[22];
    for (int n = 1; n <= 21; ++n)
        values[n] = "x";
    values[3] = "4";
    values[4] = "3";
    values[5] = values[6] = "5.0";
    values[15] = name;
    values[17] = "9";
    values[18] = "0";
    values[19] = std::to_string(westCm);
    values[20] = "1500";
    values[21] = std::to_string(westCm + 2000);
    std::string header;
    for (int n = 1; n <= 21; ++n)
        header += "item" + std::to_string(n) + "," + values[n] + "\n";
    writeFile(folder + "/" + name + ".csv", header);
    std::string data;
    char field[32];
    for (int r = 0; r < 3; ++r) {
        std::snprintf(field, sizeof field, "TILE01%4d", r + 1);
        data += field;
        for (int c = 0; c < 4; ++c) {
            std::snprintf(field, sizeof field, "%5d", 100 * r + c);
            data += field;
        }
        data += "\n";
    }
    writeFile(folder + "/" + name + ".kov", data);
}

const std::string& dataFolder() {
    static const std::string folder = [] {
        char pattern[] = "/tmp/kovfuzz-project-XXXXXX";
        std::string made = mkdtemp(pattern) ? pattern : "/tmp";
        writeTile(made, "T0", 0);
        writeTile(made, "T1", 2000);
        return made;
    }();
    return folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    const std::string project = dataFolder() + "/fuzz.kovv5";
    writeFile(project, std::string(reinterpret_cast<const char*>(bytes), size));
    kov::HMeshProject loaded;
    kov::ProjectLoadReport report;
    kov::LoadProjectFile(loaded, project, nullptr, &report);
    return 0;
}

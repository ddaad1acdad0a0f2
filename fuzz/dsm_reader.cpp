// SPDX-License-Identifier: MIT
// Fuzzes the DSM point reader. The first input byte chooses the file name (a sheet code or not),
// the cell size and whether a progress object takes part; the rest is the file. The same bytes
// also make a small grid whose gap filling is checked against a plain search.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/base/HxProgress.h"
#include "core/base/TextScan.h"
#include "core/data/HxFile.h"
#include "core/data/ZarVeyMeshDSM.h"

namespace {

// Cancels after a number of reports taken from the input.
class CountdownProgress : public kov::HxProgress {
public:
    explicit CountdownProgress(int reports) : left_(reports) {}
    int SetPos(long long current, long long total) override {
        if (current < 0 || current > total) __builtin_trap();
        return --left_ == 0;
    }

private:
    int left_;
};

// The gap filling as described: every radius searched cell by cell.
std::vector<int32_t> plainFill(const std::vector<int32_t>& codes, const std::vector<uint8_t>& hit,
                               int cols, int rows, int radius) {
    std::vector<int32_t> out = codes;
    for (int y = 0; y < rows; ++y) {
        for (int x = 0; x < cols; ++x) {
            if (hit[y * cols + x]) continue;
            for (int r = 1; r <= radius; ++r) {
                long long sum = 0, count = 0;
                for (int v = std::max(y - r, 0); v <= std::min(y + r, rows - 1); ++v) {
                    for (int u = std::max(x - r, 0); u <= std::min(x + r, cols - 1); ++u) {
                        const int32_t code = codes[v * cols + u];
                        if (hit[v * cols + u] && !kov::isSpecialCode(code)) {
                            sum += code;
                            ++count;
                        }
                    }
                }
                if (count == 0) continue;
                const double mean = static_cast<double>(sum) / count;
                out[y * cols + x] = static_cast<int32_t>(mean >= 0 ? mean + 0.5 : mean - 0.5);
                break;
            }
        }
    }
    return out;
}

void checkFill(const uint8_t* bytes, size_t size) {
    if (size < 4) return;
    const int cols = 1 + bytes[0] % 24;
    const int rows = 1 + bytes[1] % 24;
    const int radius = 1 + bytes[2] % 6;
    std::vector<int32_t> codes(static_cast<size_t>(cols) * rows);
    std::vector<uint8_t> hit(codes.size());
    for (size_t i = 0; i < codes.size(); ++i) {
        const uint8_t b = 3 + i < size ? bytes[3 + i] : 0;
        hit[i] = b & 1;
        const int kind = (b >> 1) & 7;
        codes[i] = kind == 0   ? kov::MESH_WATER
                   : kind == 1 ? kov::MESH_NODATA
                   : kind == 2 ? INT32_MAX - b
                   : kind == 3 ? INT32_MIN + b
                               : (static_cast<int8_t>(b) * 997);
    }
    const std::vector<int32_t> expected = plainFill(codes, hit, cols, rows, radius);
    kov::ZarVeyMeshDSM::fillGaps(codes.data(), hit.data(), cols, rows, radius);
    if (codes != expected) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    if (size == 0) return 0;
    checkFill(bytes + 1, size - 1);
    const uint8_t choice = bytes[0];
    static const char* const kNames[] = {"/fuzz/09LD351.txt", "/fuzz/points.txt", "/fuzz/ld12.txt",
                                         "/fuzz/09AZE90.TXT"};
    static const double kCellSizes[] = {50.0, 20.0, 10.0, 5.0, 8.0, 25.0, 100.0, 0.0};
    kov::HxFile file(kNames[choice & 3],
                     std::string_view(reinterpret_cast<const char*>(bytes) + 1, size - 1));
    kov::ZarVeyMeshDSM mesh(kCellSizes[(choice >> 2) & 7]);
    // Grids of more than 65536 cells only slow the fuzzer down; the limit itself has a test.
    mesh.setCellLimit(int64_t{1} << 16);
    CountdownProgress progress((choice >> 5) + 1);
    const int result = mesh.readDsm(file, (choice & 0x80) ? &progress : nullptr);

    // The reader's fast conversion must agree with the shared number rule on every field.
    std::string_view rest = file.contents().substr(0, 4096);
    while (!rest.empty()) {
        const size_t comma = rest.find_first_of(",\n");
        const std::string_view field = rest.substr(0, comma);
        if (kov::ZarVeyMeshDSM::parseNumber(field) != kov::parseLeadingDouble(field))
            __builtin_trap();
        rest.remove_prefix(comma == std::string_view::npos ? rest.size() : comma + 1);
    }
    if (!result) return 0;

    if (static_cast<int64_t>(mesh.cols) * mesh.rows != static_cast<int64_t>(mesh.cells.size()))
        __builtin_trap();
    double z = 0.0;
    mesh.GetElevation((mesh.xmin + mesh.xmax) / 2, (mesh.ymin + mesh.ymax) / 2, z);
    double values[64];
    uint8_t flags[64];
    mesh.Resample({0, 0, mesh.cols - 1, mesh.rows - 1}, 8, 8, values, flags, 0);
    return 0;
}

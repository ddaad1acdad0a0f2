// SPDX-License-Identifier: MIT
// DSM conversion speed: 10 million points on a 1:5000 sheet (4000 m x 3000 m) converted to a
// 1 m mesh. The points lie on a jittered 1 m x 1.2 m grid over the sample terrain.
//
//   bench_dsm [benchmark options]       in-memory conversions; with KOV_BENCH_DSM_FILE set,
//                                       also loading that file from disk (BM_LoadFile)
//   bench_dsm --write-points DIR        writes the points as DIR/09LD18.txt and exits
#include <benchmark/benchmark.h>

#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "core/data/HxFile.h"
#include "core/data/ZarVeyMeshDSM.h"
#include "sample/SampleData.h"

namespace {

constexpr const char* kSheetName = "09LD18.txt";  // x -8000..-4000, y -36000..-33000
constexpr long long kWest = -8000;
constexpr long long kSouth = -36000;
constexpr int kCols = 4000;  // 1 m apart
constexpr int kRows = 2500;  // 1.2 m apart
constexpr int kRowStepCm = 120;
constexpr double kCellSize = 1.0;
constexpr long long kPoints = static_cast<long long>(kCols) * kRows;

uint64_t mix64(uint64_t z) {
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

void appendInt(std::string& out, long long value) {
    char digits[24];
    out.append(digits, std::to_chars(digits, digits + sizeof digits, value).ptr);
}

void appendHundredths(std::string& out, long long value) {
    if (value < 0) {
        out += '-';
        value = -value;
    }
    appendInt(out, value / 100);
    out += '.';
    out += static_cast<char>('0' + value / 10 % 10);
    out += static_cast<char>('0' + value % 10);
}

// "n,x,y,z" lines with CR LF; z in metres with two decimals, -9999 on water.
std::string pointsText() {
    std::string text;
    text.reserve(static_cast<size_t>(kPoints) * 36);
    std::vector<int32_t> ground(kCols);
    long long number = 0;
    for (int r = 0; r < kRows; ++r) {
        const long long yCm = kSouth * 100 + r * kRowStepCm + kRowStepCm / 2;
        kov::sample::terrainRow(kWest * 10 + 5, yCm / 10, kCols, 10, ground.data());
        for (int c = 0; c < kCols; ++c) {
            const uint64_t h = mix64(static_cast<uint64_t>(number));
            const long long xCm = kWest * 100 + c * 100 + 50 + static_cast<long long>(h % 61) - 30;
            appendInt(text, ++number);
            text += ',';
            appendHundredths(text, xCm);
            text += ',';
            appendHundredths(text, yCm + static_cast<long long>((h >> 8) % 61) - 30);
            text += ',';
            const int code = ground[static_cast<size_t>(c)];
            if (code == kov::sample::kWaterCode) {
                text += "-9999";
            } else {
                appendHundredths(text, (code == kov::sample::kNoDataCode ? 0 : code * 10LL) +
                                           static_cast<long long>((h >> 16) % 8));
            }
            text += "\r\n";
        }
    }
    return text;
}

const std::string& pointsBytes() {
    static const std::string bytes = pointsText();
    return bytes;
}

void convert(benchmark::State& state, const char* name) {
    const kov::HxFile file(std::string("/bench/") + name, std::string_view(pointsBytes()));
    for (auto _ : state) {
        kov::ZarVeyMeshDSM mesh(kCellSize);
        if (!mesh.readDsm(file, nullptr)) state.SkipWithError("conversion failed");
        benchmark::DoNotOptimize(mesh.cells.data());
    }
    state.SetItemsProcessed(state.iterations() * kPoints);
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(file.contents().size()));
}

// Named by its sheet: one pass over the points.
void BM_ConvertSheet(benchmark::State& state) {
    convert(state, kSheetName);
}
BENCHMARK(BM_ConvertSheet)->Unit(benchmark::kMillisecond)->UseRealTime();

// Not named by a sheet: a first pass finds the extent.
void BM_ConvertUnnamed(benchmark::State& state) {
    convert(state, "points.txt");
}
BENCHMARK(BM_ConvertUnnamed)->Unit(benchmark::kMillisecond)->UseRealTime();

// Reading the file from disk (the page cache) and converting it, as a project load does.
void BM_LoadFile(benchmark::State& state, const std::string& path) {
    for (auto _ : state) {
        kov::ZarVeyMeshDSM mesh(kCellSize);
        if (!mesh.Load(path)) state.SkipWithError("cannot load the points file");
        benchmark::DoNotOptimize(mesh.cells.data());
    }
    state.SetItemsProcessed(state.iterations() * kPoints);
}

bool writePoints(const std::string& folder) {
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    const std::string path = folder + "/" + kSheetName;
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const std::string& bytes = pointsBytes();
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && written;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::string(argv[1]) == "--write-points") {
        if (writePoints(argv[2])) return 0;
        std::fprintf(stderr, "bench_dsm: cannot write %s/%s\n", argv[2], kSheetName);
        return 1;
    }
    if (const char* path = std::getenv("KOV_BENCH_DSM_FILE")) {
        benchmark::RegisterBenchmark("BM_LoadFile", BM_LoadFile, std::string(path))
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

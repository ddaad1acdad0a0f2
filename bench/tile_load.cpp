// SPDX-License-Identifier: MIT
// Loading speed of 5 m tiles: the 100 tiles of a 10 x 10 sample block, read with ZarVeyMesh5.
// bytes_per_second counts the .kov data text only (headers are a few hundred bytes each).
//
// The block is written on first use into $KOV_BENCH_DATA, or else into "bench-data" in the
// build folder (beside the folder of this program), and reused afterwards.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "core/data/HxFile.h"
#include "core/data/ZarVeyMesh5.h"
#include "sample/SampleData.h"

namespace {

namespace fs = std::filesystem;
namespace sample = kov::sample;

struct BenchData {
    std::vector<std::string> dataPaths;
    std::vector<std::string> headerPaths;
    int64_t dataBytes = 0;
    std::string error;
};

std::string dataFolder() {
    if (const char* env = std::getenv("KOV_BENCH_DATA"); env && *env) return env;
    std::error_code ec;
    const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (ec) return "bench-data";
    return (exe.parent_path().parent_path() / "bench-data").string();
}

const BenchData& benchData() {
    static const BenchData data = [] {
        BenchData d;
        sample::SampleOptions options;
        options.block = 10;
        const std::string root = dataFolder();
        const std::vector<sample::SampleTile> tiles = sample::sampleTiles(options);
        bool complete = true;
        for (const sample::SampleTile& t : tiles) {
            std::error_code ec;
            const auto size = fs::file_size(fs::path(root) / t.dataPath, ec);
            const uintmax_t expected =
                sample::kTileRows * (10u + 5u * sample::kTileCols + (t.crlf ? 2u : 1u));
            if (ec || size != expected || !fs::exists(fs::path(root) / t.headerPath)) {
                complete = false;
                break;
            }
        }
        if (!complete) {
            std::fprintf(stderr, "writing the 10 x 10 sample block into %s\n", root.c_str());
            if (!sample::writeSampleDataSet(root, options, &d.error)) return d;
        }
        for (const sample::SampleTile& t : tiles) {
            d.dataPaths.push_back((fs::path(root) / t.dataPath).string());
            d.headerPaths.push_back((fs::path(root) / t.headerPath).string());
            d.dataBytes += static_cast<int64_t>(fs::file_size(d.dataPaths.back()));
        }
        return d;
    }();
    return data;
}

// Whole loads: open the data file, find and read the header, parse both.
void BM_LoadTiles(benchmark::State& state) {
    const BenchData& data = benchData();
    if (!data.error.empty()) {
        state.SkipWithError(data.error.c_str());
        return;
    }
    for (auto _ : state) {
        for (const std::string& path : data.dataPaths) {
            kov::ZarVeyMesh5 mesh;
            if (mesh.Load(path) != 1) {
                state.SkipWithError(("cannot load " + path).c_str());
                return;
            }
            benchmark::DoNotOptimize(mesh.cells.data());
        }
    }
    state.SetBytesProcessed(state.iterations() * data.dataBytes);
    state.counters["tiles"] = static_cast<double>(data.dataPaths.size());
}
BENCHMARK(BM_LoadTiles)->Unit(benchmark::kMillisecond)->UseRealTime();

// Loads as a project does: every mesh stays in memory until the whole set is loaded, so each
// load also pays for the fresh memory of its cell array.
void BM_LoadTilesKept(benchmark::State& state) {
    const BenchData& data = benchData();
    if (!data.error.empty()) {
        state.SkipWithError(data.error.c_str());
        return;
    }
    for (auto _ : state) {
        std::vector<std::unique_ptr<kov::ZarVeyMesh5>> meshes;
        meshes.reserve(data.dataPaths.size());
        for (const std::string& path : data.dataPaths) {
            meshes.push_back(std::make_unique<kov::ZarVeyMesh5>());
            if (meshes.back()->Load(path) != 1) {
                state.SkipWithError(("cannot load " + path).c_str());
                return;
            }
        }
        benchmark::DoNotOptimize(meshes.data());
    }
    state.SetBytesProcessed(state.iterations() * data.dataBytes);
}
BENCHMARK(BM_LoadTilesKept)->Unit(benchmark::kMillisecond)->UseRealTime();

// Parsing only: the files are read into memory once, outside the timing.
void BM_ParseTilesInMemory(benchmark::State& state) {
    const BenchData& data = benchData();
    if (!data.error.empty()) {
        state.SkipWithError(data.error.c_str());
        return;
    }
    std::vector<std::unique_ptr<kov::HxFile>> files;
    for (size_t i = 0; i < data.dataPaths.size(); ++i) {
        files.push_back(kov::openFile(data.headerPaths[i]));
        files.push_back(kov::openFile(data.dataPaths[i]));
        if (!files[files.size() - 2] || !files.back()) {
            state.SkipWithError("cannot read the sample block");
            return;
        }
    }
    kov::ZarVeyMesh5 mesh;
    for (auto _ : state) {
        for (size_t i = 0; i < files.size(); i += 2) {
            if (mesh.ReadTileFiles(files[i]->contents(), files[i + 1]->contents()) != 1) {
                state.SkipWithError("cannot parse a tile");
                return;
            }
            benchmark::DoNotOptimize(mesh.cells.data());
        }
    }
    state.SetBytesProcessed(state.iterations() * data.dataBytes);
}
BENCHMARK(BM_ParseTilesInMemory)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

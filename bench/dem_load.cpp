// SPDX-License-Identifier: MIT
// Loading the national DEM as a user does: the packed zip of one second-level mesh (100 DEM5A
// files of the sample terrain) read and placed in zone 9 by the loader.
//
//   bench_dem_load --write-data DIR   writes DIR/FG-GML-5339-46-DEM5A.zip and the same cells as
//                                     one latitude-longitude ESRI ASCII grid, DIR/533946.asc
//   KOV_BENCH_DEM_ZIP=ZIP bench_dem_load
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/data/HMeshProject.h"
#include "core/project/LayerLoader.h"
#include "sample/SampleDem.h"

namespace {

std::vector<std::string> secondMeshFiles() {
    std::vector<std::string> codes;
    for (int row = 0; row < 10; ++row)
        for (int col = 0; col < 10; ++col)
            codes.push_back("533946" + std::to_string(row) + std::to_string(col));
    return codes;
}

bool writeData(const std::string& dir) {
    std::string error;
    const bool written =
        kov::sample::writeFgGmlZip(dir + "/FG-GML-5339-46-DEM5A.zip", secondMeshFiles(), &error) &&
        kov::sample::writeLatLonDem(dir + "/533946.asc", "53394600", "53394699", "AAIGrid", &error);
    if (!written) std::fprintf(stderr, "bench_dem_load: %s\n", error.c_str());
    return written;
}

void BM_LoadZip(benchmark::State& state, const std::string& zip) {
    for (auto _ : state) {
        kov::HMeshProject project;
        kov::LoadReport report;
        const int added = kov::loadLayerPaths({zip}, project, report);
        if (added != 100) state.SkipWithError("the zip did not give 100 meshes");
        benchmark::DoNotOptimize(project.meshCount());
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::string(argv[1]) == "--write-data") return writeData(argv[2]) ? 0 : 1;
    if (const char* zip = std::getenv("KOV_BENCH_DEM_ZIP"))
        benchmark::RegisterBenchmark("BM_LoadZip", BM_LoadZip, std::string(zip))
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

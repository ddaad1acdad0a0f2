// SPDX-License-Identifier: MIT
// Fuzzes the 5 m tile reader: the input is a header CSV, a NUL byte, then the data file.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "core/base/TextScan.h"
#include "core/data/HMeshProject.h"
#include "core/data/ZarVeyMesh5.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(bytes), size);
    const size_t split = input.find('\0');
    const std::string_view header = input.substr(0, split);
    const std::string_view data =
        split == std::string_view::npos ? std::string_view() : input.substr(split + 1);

    // Grids beyond 200 000 cells that the reader would accept only slow the fuzzer down; those
    // beyond the reader's bound for this data file go in, and must be refused.
    const auto values = kov::ZarVeyMesh5::ReadHeaderValues(header);
    const int64_t cells = values.size() > 4
                              ? static_cast<int64_t>(kov::parseLeadingInt(values[3])) *
                                    kov::parseLeadingInt(values[4])
                              : 0;
    const bool beyondBound = cells > kov::ZarVeyMesh5::cellBound(data.size());
    if (cells > 200000 && !beyondBound) return 0;

    kov::ZarVeyMesh5 mesh;
    const int read = mesh.ReadTileFiles(header, data);
    if (read && beyondBound) __builtin_trap();
    if (!read) return 0;
    double z = 0.0;
    const double midX = (mesh.xmin + mesh.xmax) / 2, midY = (mesh.ymin + mesh.ymax) / 2;
    mesh.GetElevation(mesh.xmin, mesh.ymin, z);
    mesh.GetElevation(midX, midY, z);
    mesh.GetRawValue(mesh.xmax - 1e-9, mesh.ymax - 1e-9);
    mesh.UpdateMinMax();

    double values8[64];
    uint8_t flags8[64];
    mesh.Resample({0, 0, mesh.cols - 1, mesh.rows - 1}, 8, 8, values8, flags8, 0);
    kov::MeshNeighbours nb;
    nb.mesh[kov::MeshNeighbours::East] = &mesh;
    nb.mesh[kov::MeshNeighbours::North] = &mesh;
    kov::ResampledRaster raster;
    mesh.ResampleWithBorder(10, 10, nb, {0, 0, mesh.cols - 1, mesh.rows - 1}, raster, 0, 0, 1, 1);
    return 0;
}

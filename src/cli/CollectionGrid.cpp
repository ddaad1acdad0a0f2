// SPDX-License-Identifier: MIT
#include "cli/CollectionGrid.h"

#include <algorithm>
#include <cstdio>

#include "cli/Messages.h"
#include "core/data/ZarHMesh.h"

namespace kov::cli {
namespace {

double finestCell(const HMeshProject& project) {
    double finest = project.GetMesh(0)->cellSize;
    for (int i = 1; i < project.meshCount(); ++i)
        finest = std::min(finest, project.GetMesh(i)->cellSize);
    return finest;
}

bool overlaps(const MapRect& a, const MapRect& b) {
    return a.xmin < b.xmax && b.xmin < a.xmax && a.ymin < b.ymax && b.ymin < a.ymax;
}

}  // namespace

Option rectOption(GridRequest& request) {
    return valueOption("--rect",
                       [&request](const std::string& v) {
                           return request.hasRect = parseRect(v, request.rect);
                       })
        .explained("EMIN,NMIN,EMAX,NMAX",
                   localText("the area: easting and northing bounds in metres "
                             "(default: the whole data)",
                             "範囲: 東西・南北の最小と最大 (m、既定: データ全体)"));
}

bool sampleRequestedGrid(const char* command, HMeshProject& project, const GridRequest& request,
                         const DataArguments& data, ElevationRaster& out) {
    project.UpdateExtent();
    MapRect extent;
    project.GetExtent(extent);
    const MapRect rect = request.hasRect ? request.rect : extent;
    if (!overlaps(rect, extent)) {
        std::fprintf(stderr,
                     localText("kovtool %s: the rectangle E %.3f .. %.3f, N %.3f .. %.3f lies "
                               "outside the data (E %.3f .. %.3f, N %.3f .. %.3f)\n",
                               "kovtool %s: 矩形 E %.3f .. %.3f、N %.3f .. %.3f はデータ（E "
                               "%.3f .. %.3f、N %.3f .. %.3f）の外にあります\n"),
                     command, rect.xmin, rect.xmax, rect.ymin, rect.ymax, extent.xmin, extent.xmax,
                     extent.ymin, extent.ymax);
        return false;
    }
    const double cell = data.demCellSize > 0.0 ? data.demCellSize : finestCell(project);
    const RasterPlacement placement = collectionPlacement(project, rect, cell);
    std::string error;
    if (placement.cols == 0) {
        std::fprintf(stderr,
                     localText("kovtool %s: the grid has no cells\n",
                               "kovtool %s: 格子にセルがありません\n"),
                     command);
        return false;
    }
    if (!sampleCollection(project, placement, out, &error, kMaxGridCells)) {
        std::fprintf(stderr,
                     localText("kovtool %s: %s (choose a larger --cell or a smaller --rect)\n",
                               "kovtool %s: 格子を作れません: %s（--cell を大きくするか --rect "
                               "を小さくしてください）\n"),
                     command, error.c_str());
        return false;
    }
    return true;
}

}  // namespace kov::cli

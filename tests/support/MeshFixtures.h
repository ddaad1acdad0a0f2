// SPDX-License-Identifier: MIT
// Small in-memory meshes for the elevation data tests.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

#include "core/data/HMeshProject.h"
#include "core/data/ZarHMesh.h"

namespace kov::test {

// A cols x rows mesh of square cells with its south-west corner at (x0, y0); code(c, r) gives
// each cell's code (row 0 is the southernmost row).
inline std::unique_ptr<ZarHMesh> makeMesh(int cols, int rows, double cell, double x0, double y0,
                                          const std::function<int(int, int)>& code,
                                          double scale = 0.1) {
    auto mesh = std::make_unique<ZarHMesh>();
    mesh->allocateCells(cols, rows);
    mesh->cellSize = cell;
    mesh->scale = scale;
    mesh->xmin = x0;
    mesh->ymin = y0;
    mesh->xmax = x0 + cols * cell;
    mesh->ymax = y0 + rows * cell;
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < cols; ++c)
            mesh->cell(c, r) = code(c, r);
    return mesh;
}

inline std::unique_ptr<ZarHMesh> makeFlatMesh(int cols, int rows, double cell, double x0, double y0,
                                              int value) {
    return makeMesh(cols, rows, cell, x0, y0, [value](int, int) { return value; });
}

// A project holding the meshes (each must be accepted), its extent updated.
template <class... Meshes>
std::unique_ptr<HMeshProject> projectOf(std::unique_ptr<Meshes>... meshes) {
    auto project = std::make_unique<HMeshProject>();
    const auto add = [&](auto& mesh) { EXPECT_EQ(project->AddMesh(mesh), 1); };
    (add(meshes), ...);
    project->UpdateExtent();
    return project;
}

// Every code of the mesh, row 0 first, whatever form the cells are held in.
inline std::vector<int32_t> allCodes(const ZarHMesh& mesh) {
    std::vector<int32_t> scratch(mesh.cells.size());
    const int32_t* codes = mesh.cells.codes(0, scratch.size(), scratch.data());
    return codes ? std::vector<int32_t>(codes, codes + scratch.size()) : std::vector<int32_t>{};
}

// A source that hands back a copy of the codes it was made with, or fails on request.
class CopySource : public CellSource {
public:
    explicit CopySource(std::vector<int32_t> codes) : codes_(std::move(codes)) {}
    bool fetch(MeshCells& into) const override {
        ++fetches;
        if (fail) return false;
        into.adoptFull({codes_.begin(), codes_.end()});
        return true;
    }
    mutable int fetches = 0;
    bool fail = false;

private:
    std::vector<int32_t> codes_;
};

}  // namespace kov::test

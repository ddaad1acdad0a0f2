// SPDX-License-Identifier: MIT
// The in-memory elevation grid that every reader fills and every consumer reads.
#pragma once

#include <climits>
#include <cstdint>
#include <string>
#include <vector>

#include "core/base/GeodeticDatum.h"
#include "core/data/MeshCells.h"

namespace kov {

class HMeshProject;
class ZarHMesh;

// Cell codes that are never valid elevations.
inline constexpr int32_t MESH_NODATA = static_cast<int32_t>(0xF0000001u);  // "無効領域"
inline constexpr int32_t MESH_WATER = static_cast<int32_t>(0xF0000002u);   // "水域"

inline bool isSpecialCode(int32_t code) {
    return code == MESH_NODATA || code == MESH_WATER;
}

// Flag bytes written by the resampling operations.
enum SampleFlag : uint8_t { kSampleNoData = 0, kSampleValid = 1, kSampleWater = 2 };

// The 3 x 3 neighbourhood of a mesh; null where no neighbour was found.
struct MeshNeighbours {
    enum Slot { SouthWest, South, SouthEast, West, Centre, East, NorthWest, North, NorthEast };
    const ZarHMesh* mesh[9] = {};
};

// A window of cell indices: left column, bottom row, right column, top row (inclusive).
struct CellWindow {
    int left = 0;
    int bottom = 0;
    int right = 0;
    int top = 0;
};

// Output of ResampleWithBorder: width x height samples with a one-sample border, row 0 at the
// bottom. The buffers are reused between calls when the caller keeps the object.
struct ResampledRaster {
    int width = 0;
    int height = 0;
    std::vector<double> values;
    std::vector<uint8_t> flags;
};

// Rectangle of square cells in plane rectangular metres (x east, y north) of one zone.
// Cell (c, r) is at index r * cols + c; row 0 is the southernmost row, column 0 the westernmost.
class ZarHMesh {
public:
    ZarHMesh();
    virtual ~ZarHMesh();
    ZarHMesh(const ZarHMesh&) = delete;
    ZarHMesh& operator=(const ZarHMesh&) = delete;

    virtual const char* className() const { return "ZarHMesh"; }
    // Loads the mesh from a file; the base grid has no file format and always fails.
    virtual int Load(const std::string& path);

    // Sets the dimensions and fills every cell with MESH_NODATA. Fails (false, mesh unchanged)
    // for non-positive counts and for grids too large to allocate.
    bool allocateCells(int64_t newCols, int64_t newRows);

    // Writing a cell widens compact cells to full codes (readers and tests fill grids this way).
    int32_t& cell(int col, int row) { return cells.data()[static_cast<size_t>(row) * cols + col]; }
    int32_t cell(int col, int row) const { return cells[static_cast<size_t>(row) * cols + col]; }
    // The codes of a row (cols of them): straight from full cells, or decoded into scratch. Null
    // when let-go cells cannot be brought back.
    const int32_t* rowCodes(int row, std::vector<int32_t>& scratch) const;
    // Stores the cells in 16 bits when their codes allow it (see MeshCells); readers call it
    // once the grid is filled.
    void compactCells() { cells.compact(); }

    // The memory the grid holds and cannot give back, in bytes (what the project's memory
    // budget counts): cells that a source can bring back are counted while in memory by the
    // project's residency instead.
    int64_t memoryBytes() const { return cells.hasSource() ? 0 : cells.memoryBytes(); }

    // Elevation of a cell in metres; 0 for cells outside the grid or holding a special code.
    int GetCellValue(int col, int row, double& z) const;
    // Whether a map point lies in the mesh (west and south edges inside, east and north outside).
    bool contains(double x, double y) const;
    // Nearest-cell elevation at a map point; the west and south edges belong to the mesh,
    // the east and north edges do not. z is untouched on failure.
    int GetElevation(double x, double y, double& z) const;
    // 0.0 outside the mesh, the special code as a double for no-data and water cells,
    // otherwise the elevation.
    double GetRawValue(double x, double y) const;
    // The lowest and highest elevation codes from the cells; nothing changes while the cells
    // are let go (the range was known when they were).
    void UpdateMinMax();

    // Bilinear resampling with nearest fallback of a cell window into ny rows of nx samples;
    // output row j starts at j * stride (stride < 1 means nx); row 0 is the window's bottom.
    // Only rows firstRow..endRow-1 are computed, into the output from its start; each has the
    // values the whole resampling gives it.
    int Resample(const CellWindow& window, int nx, int ny, double* values, uint8_t* flags,
                 int stride, int firstRow = 0, int endRow = INT_MAX) const;
    // Resamples the window plus a one-sample border, taken from the neighbours where the window
    // touches the mesh's edge (fl, fb, fr, ft: the window edges as fractions of the mesh).
    // Only rows firstRow..endRow-1 of the w x h samples are computed: out holds those.
    void ResampleWithBorder(int w, int h, const MeshNeighbours& neighbours,
                            const CellWindow& window, ResampledRaster& out, double fl, double fb,
                            double fr, double ft, int firstRow = 0, int endRow = INT_MAX) const;

    double width() const { return xmax - xmin; }
    double height() const { return ymax - ymin; }

    // Fields in the order of the original record.
    HMeshProject* owner = nullptr;
    int32_t cols = 0;
    int32_t rows = 0;
    int32_t minRaw = 0;
    int32_t maxRaw = 0;
    double cellSize = 1.0;
    double scale = 1.0;  // metres per unit of cell code
    MeshCells cells;
    int32_t flagA = 1;
    int32_t flagB = 1;
    double xmin = 0.0;
    double ymin = 0.0;
    double xmax = 0.0;
    double ymax = 0.0;
    int32_t zone = 9;
    int32_t reserved = 0;
    // The datum the file names; kUnstated when it names none.
    GeodeticDatum datum = GeodeticDatum::kUnstated;
    std::string name;  // UTF-8
    std::string path;  // the path given to Load
    // Why the last Load failed: the file error, the bound that was exceeded or the damage
    // found; empty after a successful one. Shown by the caller, never by the reader.
    std::string errorText;

    // Largest grid any reader accepts (cells); a bound against absurd counts in damaged files.
    static constexpr int64_t kMaxCells = int64_t{1} << 28;

private:
    // The point as fractions of the extent (u east, v north); true when it lies in the mesh.
    bool locate(double x, double y, double& u, double& v) const;
};

}  // namespace kov

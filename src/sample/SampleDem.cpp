// SPDX-License-Identifier: MIT
#include "sample/SampleDem.h"

#include <filesystem>
#include <memory>
#include <utility>
#include <vector>

#include "core/data/dem/CrsTransform.h"
#include "core/data/dem/GeoGrid.h"
#include "core/data/dem/RasterDem.h"
#include "core/data/dem/ZipArchive.h"
#include "sample/SampleData.h"
#include "sample/SampleFgGml.h"

namespace kov::sample {
namespace {

constexpr int kJgd2011LatLon = 6668;
constexpr int kJgd2011Zone9 = 6677;  // the zone of the sample tiles
constexpr double kSecond = 1.0 / 3600;
constexpr double kDemStep = 0.2 * kSecond;  // the spacing of DEM5A cells, both ways

// The sample terrain's codes (decimetres, kWaterCode, kNoDataCode) at cell centres given in
// latitude and longitude.
class LatLonTerrain {
public:
    explicit LatLonTerrain(std::string* error)
        : toZone_(CrsTransform::create(kJgd2011LatLon, kJgd2011Zone9, error)) {}
    bool ready() const { return toZone_ != nullptr; }

    // Codes of n centres of one row: longitudes west + (i + 0.5) * step at latitude.
    bool row(double latitude, double west, double step, int n, std::vector<int>& codes) const {
        std::vector<double> x(static_cast<size_t>(n)), y(static_cast<size_t>(n), latitude);
        for (int i = 0; i < n; ++i)
            x[static_cast<size_t>(i)] = west + (i + 0.5) * step;
        if (!toZone_->apply(x.data(), y.data(), x.size())) return false;
        codes.resize(x.size());
        for (size_t i = 0; i < x.size(); ++i)
            codes[i] = terrainCodeAt(x[i], y[i]);
        return true;
    }

private:
    std::unique_ptr<CrsTransform> toZone_;
};

FgGmlCell cellOfCode(int code) {
    if (code == kWaterCode) return {"海水面", -9999.0};
    if (code == kNoDataCode) return {"データなし", -9999.0};
    return {"地表面", code / 10.0};
}

bool fgGmlText(const LatLonTerrain& terrain, const char* meshCode, std::string& text) {
    FgGmlDocument file;
    file.meshCode = meshCode;
    if (!meshEnvelope(file.meshCode, file.envelope)) return false;
    std::vector<int> codes;
    for (int r = 0; r < file.rows; ++r) {
        const double latitude = file.envelope.north - (r + 0.5) * kDemStep;
        if (!terrain.row(latitude, file.envelope.west, kDemStep, file.cols, codes)) return false;
        for (const int code : codes)
            file.cells.push_back(cellOfCode(code));
    }
    text = fgGmlDemText(file);
    return true;
}

std::string fgGmlFileName(const std::string& code) {
    return "FG-GML-" + code.substr(0, 4) + "-" + code.substr(4, 2) + "-" + code.substr(6, 2) +
           "-DEM5A-20161001.xml";
}

}  // namespace

bool writeFgGmlZip(const std::string& zipPath, const std::vector<std::string>& meshCodes,
                   std::string* error) {
    const LatLonTerrain terrain(error);
    if (!terrain.ready()) return false;
    std::vector<std::pair<std::string, std::string>> members;
    for (const std::string& mesh : meshCodes) {
        std::string text;
        if (mesh.size() != 8 || !fgGmlText(terrain, mesh.c_str(), text)) {
            if (error) *error = "cannot make the FG-GML file of mesh " + mesh;
            return false;
        }
        members.emplace_back(fgGmlFileName(mesh), std::move(text));
    }
    return writeZipFile(zipPath, members, error);
}

bool writeLatLonDem(const std::string& path, const std::string& southWestMesh,
                    const std::string& northEastMesh, const std::string& format,
                    std::string* error) {
    MeshEnvelope southWest, northEast;
    const LatLonTerrain terrain(error);
    if (!terrain.ready()) return false;
    if (!meshEnvelope(southWestMesh, southWest) || !meshEnvelope(northEastMesh, northEast)) {
        if (error) *error = "not a mesh code: " + southWestMesh + " or " + northEastMesh;
        return false;
    }
    GeoGrid grid;
    grid.west = southWest.west;
    grid.north = northEast.north;
    grid.stepX = grid.stepY = kDemStep;
    grid.cols = static_cast<int>((northEast.east - southWest.west) / kDemStep + 0.5);
    grid.rows = static_cast<int>((northEast.north - southWest.south) / kDemStep + 0.5);
    grid.crs.epsg = kJgd2011LatLon;
    grid.crs.geographic = true;
    std::vector<int> codes;
    for (int r = 0; r < grid.rows; ++r) {
        if (!terrain.row(grid.north - (r + 0.5) * kDemStep, grid.west, kDemStep, grid.cols, codes))
            return false;
        for (const int code : codes)
            grid.codes.push_back(code == kWaterCode    ? MESH_WATER
                                 : code == kNoDataCode ? MESH_NODATA
                                                       : code * 100);
    }
    return writeRasterDem(grid, path, format, error);
}

bool writeSampleDem(const std::string& outDir, std::string* error) {
    const std::filesystem::path root(outDir);
    std::error_code ec;
    std::filesystem::create_directories(root / "dem", ec);
    const std::vector<std::string> meshes(std::begin(kSampleDemMeshes), std::end(kSampleDemMeshes));
    return writeFgGmlZip((root / kSampleDemZipPath).string(), meshes, error) &&
           writeLatLonDem((root / kSampleDemTiffPath).string(), meshes.front(), meshes.back(),
                          "GTiff", error);
}

}  // namespace kov::sample

// SPDX-License-Identifier: MIT
// The national DEM's forms of the sample terrain: a zip of four FG-GML DEM5A files (as the
// downloads come) and a Float32 GeoTIFF DEM in latitude and longitude, both over the coast and
// the river mouth of the default tile block.
#pragma once

#include <string>
#include <vector>

namespace kov::sample {

// Where writeSampleDem puts them, relative to the output folder.
inline constexpr const char* kSampleDemZipPath = "dem/FG-GML-5339-46-DEM5A.zip";
inline constexpr const char* kSampleDemTiffPath = "dem/sample-dem-jgd2011.tif";
// The third-level meshes of the zip (2 x 2, 5 m cells, JGD2011), south-west first.
inline constexpr const char* kSampleDemMeshes[] = {"53394600", "53394601", "53394610", "53394611"};

bool writeSampleDem(const std::string& outDir, std::string* error);

// The sample terrain as national DEM data of any third-level meshes ("53394600"): a zip of
// their DEM5A files.
bool writeFgGmlZip(const std::string& zipPath, const std::vector<std::string>& meshCodes,
                   std::string* error);
// The same cells as one latitude-longitude raster of GDAL's format ("GTiff", "AAIGrid"),
// covering the meshes from the south-west one to the north-east one; water is no data.
bool writeLatLonDem(const std::string& path, const std::string& southWestMesh,
                    const std::string& northEastMesh, const std::string& format,
                    std::string* error);

}  // namespace kov::sample

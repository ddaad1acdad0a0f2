// Reader of 5 m elevation tiles: a fixed-width ".kov" data file plus its header CSV.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "core/data/ZarHMesh.h"

namespace kov {

class HxFile;

class ZarVeyMesh5 : public ZarHMesh {
public:
    ZarVeyMesh5();

    const char* className() const override { return "ZarVeyMesh5"; }
    // Reads the tile; stores path on success and after a failed parse, not when the data file
    // cannot be opened.
    int Load(const std::string& path) override;
    // Finds the header beside the data file or in the sibling "Header" folder and reads both.
    int ReadTile(const HxFile& dataFile);
    // Parses a header and a data file already in memory.
    int ReadTileFiles(std::string_view header, std::string_view data);

    // The header's values: element 0 is empty, element n is the second CSV field of line n.
    static std::vector<std::string> ReadHeaderValues(std::string_view header);
    // Fixed-width integer field rule shared by the row numbers and cell codes.
    static int parseFixedInt(std::string_view field);
};

}  // namespace kov

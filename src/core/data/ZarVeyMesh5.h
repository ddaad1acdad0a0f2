// SPDX-License-Identifier: MIT
// Reader of 5 m elevation tiles: a fixed-width ".kov" data file plus its header CSV.
#pragma once

#include <cstddef>
#include <cstdint>
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
    // Reads the tile, through the active tile cache when there is one (the record from its
    // entry, the cells when first read); stores path on success and after a failed parse, not
    // when the data file cannot be opened.
    int Load(const std::string& path) override;
    // Reads the tile from its files, never from the cache.
    int LoadSource(const std::string& path);
    // Finds the header beside the data file or in the sibling "Header" folder and reads both.
    int ReadTile(const HxFile& dataFile);
    // How the last ReadTile's search for the header ended.
    enum class HeaderSearch { Found, Missing, Unreadable };
    HeaderSearch headerSearch = HeaderSearch::Found;
    // Parses a header and a data file already in memory.
    int ReadTileFiles(std::string_view header, std::string_view data);

    // The header's values: element 0 is empty, element n is the second CSV field of line n.
    static std::vector<std::string> ReadHeaderValues(std::string_view header);
    // Fixed-width integer field rule shared by the row numbers and cell codes.
    static int parseFixedInt(std::string_view field);

    // The most cells the header may declare for a data file of the given size: a grid larger
    // than kCellsPerField times the five-character fields the file can hold is refused (cells
    // without a field are no data; a damaged header must not buy a gigabyte with a few bytes),
    // but kFreeCells (any tile up to 1024 x 1024, a full 400 x 300 tile among them) always pass.
    static constexpr int64_t kFreeCells = int64_t{1} << 20;
    static constexpr int64_t kCellsPerField = 4;
    static int64_t cellBound(size_t dataBytes);
};

}  // namespace kov

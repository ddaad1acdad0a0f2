// SPDX-License-Identifier: MIT
// Fuzzes the FG-GML DEM reader: the whole document, and its header from the same bytes.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/data/dem/FgGmlReader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(bytes), size);
    kov::FgGmlHeader header;
    const bool headerRead = kov::readFgGmlHeader(text, header, nullptr);
    if (headerRead && int64_t{header.cols} * header.rows > kov::kMaxFgGmlCells) __builtin_trap();

    kov::GeoGrid grid;
    std::string error;
    if (!kov::readFgGmlDem(text, grid, &error)) {
        if (error.empty()) __builtin_trap();  // every refusal says why
        return 0;
    }
    // A grid read holds exactly its cells, each counted once, and a header read agrees. (The
    // header may be refused where the whole is read: libxml2 holds back bytes it cannot convert
    // from an iconv encoding until the input ends, which a head never does.)
    const auto& counts = grid.counts;
    if ((headerRead && (header.cols != grid.cols || header.rows != grid.rows)) ||
        grid.codes.size() != static_cast<size_t>(grid.cols) * grid.rows ||
        counts.ground + counts.water + counts.noData != static_cast<int64_t>(grid.codes.size()) ||
        !(grid.stepX > 0) || !(grid.stepY > 0)) {
        __builtin_trap();
    }
    return 0;
}

// SPDX-License-Identifier: MIT
// A shapefile layer drawn over the map: the points, polylines and polygons of one ESRI
// shapefile (".shp" with its ".shx" index when present), read into memory.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/data/HMeshProject.h"

namespace kov {

class HxProgress;

// A point record (point, multipoint and their Z and M variants); z is always 0.
struct SHP_POINT {
    int32_t id = 0;
    double x = 0.0;
    double y = 0.0;
    double z = 0.0;
};

// A polyline or polygon record. The first part is in points, every further part in parts.
// z is the stored Z for the Z types, the stored M for the M types when the file has an M range,
// else 0.
struct SHP_POLYLINE {
    static constexpr int32_t kLine = 0;
    static constexpr int32_t kPolygon = 1;

    int32_t id = 0;
    int32_t kind = kLine;
    std::vector<FPoint> points;
    std::vector<std::vector<FPoint>> parts;
};

class ShpImport {
public:
    // Shape types of the records.
    enum ShapeType : int32_t {
        kNull = 0,
        kPoint = 1,
        kPolyLine = 3,
        kPolygon = 5,
        kMultiPoint = 8,
        kPointZ = 11,
        kPolyLineZ = 13,
        kPolygonZ = 15,
        kMultiPointZ = 18,
        kPointM = 21,
        kPolyLineM = 23,
        kPolygonM = 25,
        kMultiPointM = 28,
        kMultiPatch = 31,
    };
    static constexpr int32_t kFileCode = 9994;
    static constexpr size_t kHeaderSize = 100;
    static constexpr int32_t kMaxMultiPoints = 9999999;
    static constexpr int32_t kMaxPolyCount = 10000000;
    // The largest file the header's length field (16-bit words in an int32) can describe.
    static constexpr uint64_t kMaxFileBytes = uint64_t{INT32_MAX} * 2;
    // Why a file whose first bytes are head is no shapefile (main file or index); empty when
    // its file code is 9994 or it is too short to tell.
    static std::string headRefusal(std::string_view head);

    // Memory: every byte of the main file is read at most once (index entries that point into a
    // record already read, or before it, are passed over, and end the read when strict), so a
    // layer holds at most about four times the main file's size.
    //
    // Reads the ".shp" at path and the ".shx" beside it (same base name; the letter case of the
    // extension or name may differ) unless useIndex is 0 or there is none. 1 on success (also
    // when the progress object cancelled), 0 when the main file cannot be read, its header is
    // short or its file code is not 9994; then no records are kept.
    int Load(const std::string& path, HxProgress* progress);
    // The same on files already in memory; an empty index means reading records in sequence.
    // The summary line names the file of path.
    int loadFromMemory(std::string_view shp, std::string_view shx, HxProgress* progress);

    // The memory the records hold, in bytes (what the project's memory budget counts).
    int64_t memoryBytes() const;

    int pointCount() const { return static_cast<int>(points.size()); }
    int polylineCount() const { return static_cast<int>(polylines.size()); }

    std::string path;
    std::string errorText;      // why the last Load failed: the file error or the damage found
    int32_t strict = 0;         // nonzero: a record that fails to parse ends the read
    int32_t useIndex = 1;       // take record positions from the ".shx"
    int32_t recordCounter = 0;  // last id given; null records count too
    double scale = 1.0;         // applied to the header's bounding box
    int32_t hasPolygons = 0;
    int32_t hasLines = 0;
    int32_t hasPoints = 0;
    int32_t hasM = 0;       // the header's M range is present (both bounds above -1e38)
    int32_t hasZ = 0;       // the same for the Z range
    int32_t shapeType = 0;  // the header's shape type
    // Whether the layer's shapes carry Z and M, as GDAL/OGR names them: Z for the Z types and
    // multipatches; M for the M types, and for the Z types when the header's M range holds
    // measures (neither the "no value" numbers nor 0..0, which writers store without measures).
    // The header's ranges alone say nothing: a plain 2-D file has them too, as 0..0.
    bool carriesZ() const;
    bool carriesM() const;
    std::vector<SHP_POINT> points;
    std::vector<SHP_POLYLINE> polylines;
    MapRect bounds;  // scale x the header's bounding box

private:
    class Reader;
    void Clear();
    bool measuresInRange_ = false;  // the header's M range is present and not 0..0
};

}  // namespace kov

// A shapefile layer drawn over the map.
#pragma once

namespace kov {

class ShpImport {
public:
    virtual ~ShpImport() = default;
};

}  // namespace kov

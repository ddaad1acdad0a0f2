// A georeferenced raster image drawn over the map.
#pragma once

namespace kov {

class HMeshProject;

class ZarHImage {
public:
    virtual ~ZarHImage() = default;

    HMeshProject* owner = nullptr;
    // Extent in plane metres of the project's zone.
    double xmin = 0.0;
    double ymin = 0.0;
    double xmax = 0.0;
    double ymax = 0.0;
};

}  // namespace kov

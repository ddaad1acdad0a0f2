// The hill-shading light of the relief: a directional light from the colour map's azimuth and
// elevation, a fixed view from 30 degrees above, diffuse plus specular terms and an ambient level.
#pragma once

#include <algorithm>
#include <cmath>

namespace kov {

class ZarHColorMap;

class ZarHShade {
public:
    // Light from lightAzimuth (degrees clockwise from north) and lightElevation (degrees above
    // the horizon); diffuseWeight and shadowLevel from the same map.
    explicit ZarHShade(const ZarHColorMap& map);
    ZarHShade(double azimuth, double elevation, double diffuseWeight, double shadowLevel);

    // Shade 0..255 of a unit normal (x east, y north). The renderer's normals point downward
    // (flat ground is (0, 0, -1)), the same way as the light vector, so that flat ground gets
    // d = sin(elevation). Never darker than shadowLevel x 255.
    int shadeValue(double nx, double ny, double nz) const {
        const double d = nx * light[0] + ny * light[1] + nz * light[2];
        const double rx = 2 * d * nx - light[0];
        const double ry = 2 * d * ny - light[1];
        const double rz = 2 * d * nz - light[2];
        double s = rx * view[0] + ry * view[1] + rz * view[2];
        s = s >= 0.0 && s <= 1.0 ? s : 0.0;
        // max(0, x) also turns the NaN of a degenerate normal into 0.
        const double intensity = std::min(std::max(0.0, kd * d + ks * s), 1.0);
        const double shade = (1.0 - (1.0 - intensity) * (1.0 - ambient)) * 255.0 + 0.5;
        return static_cast<int>(std::min(std::max(0.0, shade), 255.0));
    }

    double light[3];  // D: direction the light travels (from the light toward the ground)
    double view[3];   // E
    double kd;        // diffuse weight
    double ks;        // specular weight
    double ambient;   // SL, the shade of ground the light does not reach
};

}  // namespace kov

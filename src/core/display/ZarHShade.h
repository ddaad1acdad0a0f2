// SPDX-License-Identifier: MIT
// The hill-shading light of the relief: a directional light from the colour map's azimuth and
// elevation, a fixed view from 30 degrees above, diffuse plus specular terms and an ambient level.
#pragma once

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
    int shadeValue(double nx, double ny, double nz) const;

    double light[3];  // D: direction the light travels (from the light toward the ground)
    double view[3];   // E
    double kd;        // diffuse weight
    double ks;        // specular weight
    double ambient;   // SL, the shade of ground the light does not reach
};

// The shading arithmetic works on "lanes": a plain double shades one normal, the renderer's
// vector types shade two or four at once with the same operations in the same order (each lane
// rounds as the double does), so that every path gives the same shades. A lane type converts
// from a double (the value in every lane) and has + - * / and the three functions below.

// The smaller (larger) of a and b the way the vector instructions take it: b unless a is
// smaller (larger), so that a NaN in a gives b.
inline double laneMin(double a, double b) {
    return a < b ? a : b;
}
inline double laneMax(double a, double b) {
    return a > b ? a : b;
}
// s where low <= s <= high, otherwise (NaN too) 0.
inline double zeroOutside(double s, double low, double high) {
    return s >= low && s <= high ? s : 0.0;
}

// The light of a ZarHShade with each number repeated across the lanes, made once for many
// normals. Always inlined, so that a vector lane stays inside the caller's instruction set.
template <class Lane>
struct ShadeLanes {
    [[gnu::always_inline]] explicit ShadeLanes(const ZarHShade& s)
        : light{Lane(s.light[0]), Lane(s.light[1]), Lane(s.light[2])},
          view{Lane(s.view[0]), Lane(s.view[1]), Lane(s.view[2])},
          kd(s.kd),
          ks(s.ks),
          dark(1.0 - s.ambient) {}

    // The shade of the unit normal in each lane before its truncation to an integer: 0..255.
    [[gnu::always_inline]] Lane operator()(const Lane& nx, const Lane& ny, const Lane& nz) const {
        const Lane zero(0.0), one(1.0), full(255.0);
        const Lane d = nx * light[0] + ny * light[1] + nz * light[2];
        // The light reflected off the ground, and how much of it travels along the view.
        const Lane d2 = Lane(2.0) * d;
        const Lane rx = d2 * nx - light[0];
        const Lane ry = d2 * ny - light[1];
        const Lane rz = d2 * nz - light[2];
        const Lane s = zeroOutside(rx * view[0] + ry * view[1] + rz * view[2], zero, one);
        // laneMax with 0 second also turns the NaN of a degenerate normal into 0.
        const Lane intensity = laneMin(laneMax(kd * d + ks * s, zero), one);
        const Lane shade = (one - (one - intensity) * dark) * full + Lane(0.5);
        return laneMin(laneMax(shade, zero), full);
    }

    Lane light[3];
    Lane view[3];
    Lane kd;
    Lane ks;
    Lane dark;  // 1 - ambient
};

inline int ZarHShade::shadeValue(double nx, double ny, double nz) const {
    return static_cast<int>(ShadeLanes<double>(*this)(nx, ny, nz));
}

}  // namespace kov

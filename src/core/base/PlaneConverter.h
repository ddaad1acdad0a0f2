// SPDX-License-Identifier: MIT
// Plane rectangular coordinates of the 19 Japanese zones to geodetic latitude and longitude
// (inverse Gauss-Krüger projection, scale factor 0.9999 on the central meridian).
#pragma once

namespace kov {

// One reference ellipsoid.
struct Ellipsoid {
    double a;       // semi-major axis in metres
    double invF;    // inverse flattening 1/f
    double f;       // flattening
    char name[32];  // "Bessel", "GRS-80"
};

inline constexpr int kEllipsoidBessel = 0;
inline constexpr int kEllipsoidGrs80 = 1;
inline constexpr int kEllipsoidCount = 2;
extern const Ellipsoid kEllipsoids[kEllipsoidCount];

// Origin of one plane rectangular zone as whole degrees, whole minutes and seconds.
struct ZoneOrigin {
    int latDegrees;
    int latMinutes;
    double latSeconds;
    int lonDegrees;
    int lonMinutes;
    double lonSeconds;
};

inline constexpr int kZoneCount = 19;
// Index 0 is zone 1.
extern const ZoneOrigin kZoneOrigins[kZoneCount];

class PlaneConverter {
public:
    // Zone 0 (no origin: 0, 0) on GRS-80 until setup() is called.
    PlaneConverter();

    // Selects the zone (1..19) and the ellipsoid (kEllipsoidBessel or kEllipsoidGrs80; any other
    // index selects GRS-80). A zone outside 1..19 is stored but keeps the origin the converter
    // had; the derived constants are recomputed in every case.
    void setup(int zone, int ellipsoidIndex);

    // in: x = easting (m), y = northing (m), z. out: longitude (degrees), latitude (degrees), z.
    // When convergence is given it receives the meridian convergence in radians (positive east
    // of the central meridian). Always returns 1.
    int planeToGeodetic(const double in[3], double out[3], double* convergence = nullptr) const;

    // Meridian arc length in metres from the equator to latitude phi (radians).
    double meridianArc(double phi) const;

    // Footpoint latitude (radians) for the meridian arc length m (metres): the latitude whose
    // meridian arc is m, by iteration until a step is below 1e-14 rad (at most 100 rounds).
    // When rounds is given it receives the number of rounds taken.
    double footpointLatitude(double m, int* rounds = nullptr) const;

    int zone = 0;
    double lambda0 = 0.0;  // origin longitude, radians
    double phi0 = 0.0;     // origin latitude, radians
    int ellipsoid = kEllipsoidGrs80;
    Ellipsoid ellipsoidRow{};
    double e2 = 0.0;      // first eccentricity squared
    double a1e2 = 0.0;    // a(1 - e²)
    double c = 0.0;       // polar radius of curvature a / sqrt(1 - e²)
    double ep2 = 0.0;     // second eccentricity squared e² / (1 - e²)
    double arc[9] = {};   // meridian arc coefficients A..I
    double s0 = 0.0;      // meridian arc from the equator to the origin latitude
    double ePow[8] = {};  // e², e⁴, ..., e¹⁶

private:
    // Starting value of the footpoint iteration: phi0 + u * q(u / kStartRange), u = m - s0,
    // an interpolating polynomial fitted to the converged footpoint latitude in setup().
    static constexpr int kStartDegree = 11;
    double startPoly_[kStartDegree + 1] = {};
    double startRange_ = 0.0;
    double invStartRange_ = 0.0;
    // Meridian arc as arcLinear_·φ + sin2φ·P(cos2φ), P of degree 7 with coefficients arcPoly_.
    double arcLinear_ = 0.0;
    double arcPoly_[8] = {};

    double startLatitude(double m) const;
    double footpoint(double m, double phi, int* rounds, double* sinPhi, double* cosPhi,
                     double* sqrtW) const;
};

}  // namespace kov

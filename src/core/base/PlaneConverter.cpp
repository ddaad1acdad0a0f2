// SPDX-License-Identifier: MIT
#include "core/base/PlaneConverter.h"

#include <cmath>
#include <numbers>

namespace kov {

const Ellipsoid kEllipsoids[kEllipsoidCount] = {
    {6377397.155, 299.152813, 1.0 / 299.152813, "Bessel"},
    {6378137.0, 298.257222101, 1.0 / 298.257222101, "GRS-80"},
};

const ZoneOrigin kZoneOrigins[kZoneCount] = {
    {33, 0, 0.0, 129, 30, 0.0},  // 1
    {33, 0, 0.0, 131, 0, 0.0},   // 2
    {36, 0, 0.0, 132, 10, 0.0},  // 3
    {33, 0, 0.0, 133, 30, 0.0},  // 4
    {36, 0, 0.0, 134, 20, 0.0},  // 5
    {36, 0, 0.0, 136, 0, 0.0},   // 6
    {36, 0, 0.0, 137, 10, 0.0},  // 7
    {36, 0, 0.0, 138, 30, 0.0},  // 8
    {36, 0, 0.0, 139, 50, 0.0},  // 9
    {40, 0, 0.0, 140, 50, 0.0},  // 10
    {44, 0, 0.0, 140, 15, 0.0},  // 11
    {44, 0, 0.0, 142, 15, 0.0},  // 12
    {44, 0, 0.0, 144, 15, 0.0},  // 13
    {26, 0, 0.0, 142, 0, 0.0},   // 14
    {26, 0, 0.0, 127, 30, 0.0},  // 15
    {26, 0, 0.0, 124, 0, 0.0},   // 16
    {26, 0, 0.0, 131, 0, 0.0},   // 17
    {20, 0, 0.0, 136, 0, 0.0},   // 18
    {26, 0, 0.0, 154, 0, 0.0},   // 19
};

namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kDegToRad = kPi / 180.0;
constexpr double kRadToDeg = 180.0 / kPi;
constexpr double kScale = 0.9999;  // scale factor on the central meridian
constexpr double kStopStep = 1e-14;
constexpr int kMaxRounds = 100;
// The fitted starting value covers meridian arcs within this distance (m) of the origin's arc.
constexpr double kStartRange = 1000e3;

double dmsToRadians(int degrees, int minutes, double seconds) {
    return (degrees + minutes / 60.0 + seconds / 3600.0) * kDegToRad;
}

// Polynomial c[0] + c[1] x + ... + c[7] x^7 by Estrin's scheme (short dependency chains).
inline double poly7(const double c[8], double x) {
    const double x2 = x * x;
    const double x4 = x2 * x2;
    const double p01 = c[0] + c[1] * x, p23 = c[2] + c[3] * x;
    const double p45 = c[4] + c[5] * x, p67 = c[6] + c[7] * x;
    return (p01 + p23 * x2) + (p45 + p67 * x2) * x4;
}

// Polynomial c[0] + c[1] x + ... + c[11] x^11 by Estrin's scheme.
inline double poly11(const double c[12], double x) {
    const double x2 = x * x;
    const double x4 = x2 * x2;
    const double x8 = x4 * x4;
    const double p01 = c[0] + c[1] * x, p23 = c[2] + c[3] * x, p45 = c[4] + c[5] * x;
    const double p67 = c[6] + c[7] * x, p89 = c[8] + c[9] * x, pab = c[10] + c[11] * x;
    return ((p01 + p23 * x2) + (p45 + p67 * x2) * x4) + (p89 + pab * x2) * x8;
}

}  // namespace

PlaneConverter::PlaneConverter() {
    setup(0, kEllipsoidGrs80);
}

void PlaneConverter::setup(int zoneNumber, int ellipsoidIndex) {
    zone = zoneNumber;
    if (zoneNumber >= 1 && zoneNumber <= kZoneCount) {
        const ZoneOrigin& o = kZoneOrigins[zoneNumber - 1];
        phi0 = dmsToRadians(o.latDegrees, o.latMinutes, o.latSeconds);
        lambda0 = dmsToRadians(o.lonDegrees, o.lonMinutes, o.lonSeconds);
    }
    if (ellipsoidIndex < 0 || ellipsoidIndex >= kEllipsoidCount) ellipsoidIndex = kEllipsoidGrs80;
    ellipsoid = ellipsoidIndex;
    ellipsoidRow = kEllipsoids[ellipsoidIndex];

    const double F = ellipsoidRow.invF;
    const double a = ellipsoidRow.a;
    e2 = (2.0 * F - 1.0) / (F * F);
    a1e2 = a * (1.0 - e2);
    c = a / std::sqrt(1.0 - e2);
    ep2 = e2 / (1.0 - e2);
    ePow[0] = e2;
    for (int i = 1; i < 8; ++i)
        ePow[i] = ePow[i - 1] * e2;
    const double e4 = ePow[1], e6 = ePow[2], e8 = ePow[3], e10 = ePow[4], e12 = ePow[5],
                 e14 = ePow[6], e16 = ePow[7];

    arc[0] = 1.0 + 3.0 / 4.0 * e2 + 45.0 / 64.0 * e4 + 175.0 / 256.0 * e6 + 11025.0 / 16384.0 * e8 +
             43659.0 / 65536.0 * e10 + 693693.0 / 1048576.0 * e12 + 2760615.0 / 4194304.0 * e14 +
             703956825.0 / 1073741824.0 * e16;
    arc[1] = 3.0 / 4.0 * e2 + 15.0 / 16.0 * e4 + 525.0 / 512.0 * e6 + 2205.0 / 2048.0 * e8 +
             72765.0 / 65536.0 * e10 + 297297.0 / 262144.0 * e12 + 19324305.0 / 16777216.0 * e14 +
             78217425.0 / 67108864.0 * e16;
    arc[2] = 15.0 / 64.0 * e4 + 105.0 / 256.0 * e6 + 2205.0 / 4096.0 * e8 +
             10395.0 / 16384.0 * e10 + 1486485.0 / 2097152.0 * e12 + 6441435.0 / 8388608.0 * e14 +
             109504395.0 / 134217728.0 * e16;
    arc[3] = 35.0 / 512.0 * e6 + 315.0 / 2048.0 * e8 + 31185.0 / 131072.0 * e10 +
             165165.0 / 524288.0 * e12 + 6441435.0 / 16777216.0 * e14 +
             29864835.0 / 67108864.0 * e16;
    arc[4] = 315.0 / 16384.0 * e8 + 3465.0 / 65536.0 * e10 + 99099.0 / 1048576.0 * e12 +
             585585.0 / 4194304.0 * e14 + 49774725.0 / 268435456.0 * e16;
    arc[5] = 693.0 / 131072.0 * e10 + 9009.0 / 524288.0 * e12 + 585585.0 / 16777216.0 * e14 +
             3828825.0 / 67108864.0 * e16;
    arc[6] = 3003.0 / 2097152.0 * e12 + 45045.0 / 8388608.0 * e14 + 1640925.0 / 134217728.0 * e16;
    arc[7] = 6435.0 / 16777216.0 * e14 + 109395.0 / 67108864.0 * e16;
    arc[8] = 109395.0 / 1073741824.0 * e16;

    // S(φ) = a(1-e²)(Aφ - B/2 sin2φ + C/4 sin4φ - D/6 sin6φ + ... + I/16 sin16φ).
    // With sin(2kφ) = sin2φ·U(k-1)(cos2φ) (Chebyshev polynomials of the second kind) the sine
    // terms become sin2φ times a polynomial in cos2φ.
    arcLinear_ = a1e2 * arc[0];
    for (double& coef : arcPoly_)
        coef = 0.0;
    double uPrev[8] = {}, uCur[8] = {1.0}, uNext[8];  // U(k-1), U(k) as monomials
    for (int k = 1; k <= 8; ++k) {
        const double sign = (k % 2 == 1) ? -1.0 : 1.0;
        const double term = sign * a1e2 * arc[k] / (2.0 * k);
        for (int i = 0; i < 8; ++i)
            arcPoly_[i] += term * uCur[i];
        for (int i = 0; i < 8; ++i)
            uNext[i] = (i > 0 ? 2.0 * uCur[i - 1] : 0.0) - uPrev[i];
        for (int i = 0; i < 8; ++i) {
            uPrev[i] = uCur[i];
            uCur[i] = uNext[i];
        }
    }
    s0 = meridianArc(phi0);

    // Starting value of the footpoint iteration. The footpoint latitude is a very smooth function
    // of the arc length, so a polynomial interpolating it at Chebyshev nodes around s0 gives a
    // start within rounding error; one round of the iteration then confirms convergence.
    // The polynomial is φ0 + u·q(u/R), so the origin itself starts (and stays) at exactly φ0.
    startRange_ = kStartRange;
    invStartRange_ = 1.0 / kStartRange;
    static_assert(kStartDegree == 11, "poly11 evaluates the starting polynomial");
    constexpr int n = kStartDegree + 1;
    double q[n];
    for (int j = 0; j < n; ++j) {
        const double t = std::cos(kPi * (j + 0.5) / n);  // never 0: n is even
        const double u = kStartRange * t;
        const double phi = footpoint(s0 + u, phi0, nullptr, nullptr, nullptr, nullptr);
        q[j] = (phi - phi0) / u;
    }
    double cheb[n];
    for (int k = 0; k < n; ++k) {
        double sum = 0.0;
        for (int j = 0; j < n; ++j)
            sum += q[j] * std::cos(kPi * k * (j + 0.5) / n);
        cheb[k] = sum * 2.0 / n;
    }
    cheb[0] *= 0.5;
    // Chebyshev series to monomials in t: T0 = 1, T1 = t, Tk+1 = 2t·Tk - Tk-1.
    double tPrev[n] = {}, tCur[n] = {}, tNext[n];
    tPrev[0] = 1.0;
    tCur[1] = 1.0;
    for (int i = 0; i < n; ++i)
        startPoly_[i] = cheb[0] * tPrev[i] + cheb[1] * tCur[i];
    for (int k = 2; k < n; ++k) {
        for (int i = 0; i < n; ++i)
            tNext[i] = (i > 0 ? 2.0 * tCur[i - 1] : 0.0) - tPrev[i];
        for (int i = 0; i < n; ++i) {
            tPrev[i] = tCur[i];
            tCur[i] = tNext[i];
            startPoly_[i] += cheb[k] * tCur[i];
        }
    }
}

double PlaneConverter::meridianArc(double phi) const {
    double s, co;
    sincos(phi, &s, &co);
    return arcLinear_ * phi + 2.0 * s * co * poly7(arcPoly_, (co - s) * (co + s));
}

// Halley's iteration on S(φ) - m from phi; returns the last latitude and, when asked, the sine,
// cosine and sqrt(1 - e² sin²φ) belonging to it.
double PlaneConverter::footpoint(double m, double phi, int* rounds, double* sinPhi, double* cosPhi,
                                 double* sqrtW) const {
    double s = 0.0, co = 1.0, sw = 1.0, step = 0.0;
    int r = 0;
    while (r < kMaxRounds) {
        sincos(phi, &s, &co);
        const double delta =
            arcLinear_ * phi + 2.0 * s * co * poly7(arcPoly_, (co - s) * (co + s)) - m;
        const double w = 1.0 - e2 * s * s;
        sw = std::sqrt(w);
        step = 2.0 * delta * w * sw / (3.0 * e2 * delta * s * co * sw - 2.0 * a1e2);
        phi += step;
        ++r;
        if (!(std::fabs(step) >= kStopStep)) break;
    }
    if (rounds) *rounds = r;
    if (sinPhi) {
        // sin and cos moved on by the last step; once converged the step is below 1e-14 rad and
        // the first-order update is exact in double precision.
        const double s1 = s + co * step;
        const double c1 = co - s * step;
        *sinPhi = s1;
        *cosPhi = c1;
        *sqrtW = std::sqrt(1.0 - e2 * s1 * s1);
    }
    return phi;
}

double PlaneConverter::startLatitude(double m) const {
    const double u = m - s0;
    if (!(std::fabs(u) <= startRange_)) return phi0;
    const double t = u * invStartRange_;
    return phi0 + u * poly11(startPoly_, t);
}

double PlaneConverter::footpointLatitude(double m, int* rounds) const {
    return footpoint(m, startLatitude(m), rounds, nullptr, nullptr, nullptr);
}

int PlaneConverter::planeToGeodetic(const double in[3], double out[3], double* convergence) const {
    const double ye = in[0] / kScale;
    const double m = in[1] / kScale + s0;

    double s, co, sw;
    const double phi1 = footpoint(m, startLatitude(m), nullptr, &s, &co, &sw);

    // t = tan φ1, η² = e'² cos²φ1, N = c / sqrt(1 + η²) = a / sqrt(w); v = ye / N.
    const double invCos = 1.0 / co;
    const double t = s * invCos;
    const double t2 = t * t;
    const double t4 = t2 * t2;
    const double eta2 = ep2 * co * co;
    const double eta4 = eta2 * eta2;
    const double v = ye * sw / ellipsoidRow.a;
    const double v2 = v * v;

    const double lat =
        phi1 +
        t * v2 *
            (-(1.0 + eta2) * (1.0 / 2.0) +
             v2 * ((5.0 + 3.0 * t2 + 6.0 * eta2 - 6.0 * t2 * eta2 - 3.0 * eta4 - 9.0 * t2 * eta4) *
                       (1.0 / 24.0) +
                   v2 * (-(61.0 + 90.0 * t2 + 45.0 * t4 + 107.0 * eta2 - 162.0 * t2 * eta2 -
                           45.0 * t4 * eta2) *
                             (1.0 / 720.0) +
                         v2 * (1385.0 + 3633.0 * t2 + 4095.0 * t4 + 1575.0 * t4 * t2) *
                             (1.0 / 40320.0))));
    const double lon =
        lambda0 +
        v * invCos *
            (1.0 + v2 * (-(1.0 + 2.0 * t2 + eta2) * (1.0 / 6.0) +
                         v2 * ((5.0 + 28.0 * t2 + 24.0 * t4 + 6.0 * eta2 + 8.0 * t2 * eta2) *
                                   (1.0 / 120.0) -
                               v2 * (61.0 + 662.0 * t2 + 1320.0 * t4 + 720.0 * t4 * t2) *
                                   (1.0 / 5040.0))));
    if (convergence) {
        *convergence = t * v *
                       (1.0 + v2 * (-(1.0 + t2 - eta2) * (1.0 / 3.0) +
                                    v2 * (1.0 + t2) * (2.0 + 3.0 * t2) * (1.0 / 15.0)));
    }
    out[0] = lon * kRadToDeg;
    out[1] = lat * kRadToDeg;
    out[2] = in[2];
    return 1;
}

}  // namespace kov

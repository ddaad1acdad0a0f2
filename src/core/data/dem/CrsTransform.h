// SPDX-License-Identifier: MIT
// Coordinates from one reference system to another through PROJ (by way of GDAL), x east and
// y north in both (longitude before latitude for geographic systems).
#pragma once

#include <cstddef>
#include <memory>
#include <string>

namespace kov {

class CrsTransform {
public:
    ~CrsTransform();
    CrsTransform(const CrsTransform&) = delete;
    CrsTransform& operator=(const CrsTransform&) = delete;

    // A system is an EPSG code, or (code 0) WKT text. Null, with the reason in error, when
    // either system is unknown or no transformation joins them.
    static std::unique_ptr<CrsTransform> create(int fromEpsg, const std::string& fromWkt,
                                                int toEpsg, const std::string& toWkt,
                                                std::string* error);
    static std::unique_ptr<CrsTransform> create(int fromEpsg, int toEpsg, std::string* error) {
        return create(fromEpsg, {}, toEpsg, {}, error);
    }

    // Transforms n points in place; false when any point fails (its values are then
    // unspecified).
    bool apply(double* x, double* y, size_t n) const;

private:
    struct State;
    explicit CrsTransform(std::unique_ptr<State> state);
    std::unique_ptr<State> state_;
};

}  // namespace kov

// SPDX-License-Identifier: MIT
// Coordinates from one reference system to another through PROJ (by way of GDAL's module), x east
// and y north in both (longitude before latitude for geographic systems).
#pragma once

#include <cstddef>
#include <memory>
#include <string>

namespace kov {

struct GdalEntryPoints;
struct GdalTransform;
struct SourceCrs;

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

    // Both ways between a source's system and a zone's (EPSG code), x east and y north; false
    // with the reason in why.
    static bool createZonePair(const SourceCrs& source, int zoneEpsg,
                               std::unique_ptr<CrsTransform>& toZone,
                               std::unique_ptr<CrsTransform>& toSource, std::string& why);

    // Transforms n points in place; false when any point fails (its values are then
    // unspecified). ok (when given, n entries) receives each point's success.
    bool apply(double* x, double* y, size_t n, int* ok = nullptr) const;

private:
    struct State;
    explicit CrsTransform(std::unique_ptr<State> state);
    static std::unique_ptr<CrsTransform> adopt(const GdalEntryPoints* gdal,
                                               GdalTransform* transform);
    std::unique_ptr<State> state_;
};

}  // namespace kov

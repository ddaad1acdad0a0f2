// SPDX-License-Identifier: MIT
#include "core/data/dem/RasterProbeCache.h"

#include <memory>
#include <utility>
#include <vector>

#include "core/data/cache/CacheEntry.h"
#include "core/data/cache/TileCache.h"

namespace kov {
namespace {

// The file itself, under a kind of its own in the index (a tile's key starts otherwise).
std::optional<std::string> probeKey(const std::string& path) {
    std::optional<std::string> key = sourceKey({path});
    if (key) key->insert(0, "RasterProbe\n");
    return key;
}

}  // namespace

std::string encodeRasterProbe(const RasterProbe& probe, const std::string& companions) {
    std::vector<uint8_t> out;
    putValue(out, static_cast<uint32_t>(probe.role));
    putText(out, probe.driver);
    putText(out, probe.why);
    putValue(out, static_cast<uint8_t>(probe.hasCentre));
    putValue(out, probe.centreLatitude);
    putValue(out, probe.centreLongitude);
    putValue(out, static_cast<uint32_t>(probe.files.size()));
    for (const std::string& file : probe.files)
        putText(out, file);
    putText(out, companions);
    return std::string(out.begin(), out.end());
}

std::optional<std::pair<RasterProbe, std::string>> decodeRasterProbe(std::string_view bytes) {
    RasterProbe probe;
    ByteReader in{bytes};
    uint32_t role = 0, count = 0;
    uint8_t hasCentre = 0;
    in.get(role);
    in.getText(probe.driver);
    in.getText(probe.why);
    in.get(hasCentre);
    in.get(probe.centreLatitude);
    in.get(probe.centreLongitude);
    in.get(count);
    // Each name takes at least its length's four bytes: a damaged count cannot reserve much.
    for (uint32_t i = 0; i < count && in.ok && in.bytes.size() >= 4; ++i)
        in.getText(probe.files.emplace_back());
    std::string companions;
    in.getText(companions);
    if (!in.ok || !in.bytes.empty() || probe.files.size() != count ||
        role > static_cast<uint32_t>(RasterRole::Picture) || hasCentre > 1)
        return std::nullopt;
    probe.role = static_cast<RasterRole>(role);
    probe.hasCentre = hasCentre != 0;
    return std::pair{std::move(probe), std::move(companions)};
}

RasterProbe probeRasterCached(const std::string& path) {
    const std::shared_ptr<TileCache> cache = TileCache::active();
    const std::optional<std::string> key = cache ? probeKey(path) : std::nullopt;
    if (key) {
        if (const std::optional<std::string> record = cache->indexedRecord(path, *key)) {
            auto noted = decodeRasterProbe(*record);
            if (noted && companionKey(noted->first.files) == noted->second)
                return std::move(noted->first);
        }
    }
    RasterProbe probe = probeRaster(path);
    // GDAL may list no file for some drivers: the file itself is what was read then.
    if (probe.files.empty()) probe.files = {path};
    // Only what the files held from before the probe to after it is kept; nothing without GDAL.
    const std::optional<std::string> companions = companionKey(probe.files);
    if (key && companions && !probe.gdalMissing && probeKey(path) == key)
        cache->noteIndexed(path, *key, encodeRasterProbe(probe, *companions));
    return probe;
}

}  // namespace kov

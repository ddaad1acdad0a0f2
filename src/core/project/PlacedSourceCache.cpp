// SPDX-License-Identifier: MIT
#include "core/project/PlacedSourceCache.h"

#include <QCryptographicHash>
#include <cstdio>

#include "core/base/PathNames.h"
#include "core/data/cache/CacheEntry.h"
#include "core/data/cache/TileCache.h"
#include "core/data/dem/ZipArchive.h"
#include "core/project/DemLoading.h"

namespace kov {
namespace {

// Raised when what a manifest holds or what its key covers changes.
constexpr int kManifestVersion = 1;

std::string exactNumber(double value) {
    char text[40];
    std::snprintf(text, sizeof text, "%a", value);
    return text;
}

}  // namespace

std::optional<std::string> placementKey(const std::vector<DemRequest>& requests,
                                        const DemSettings& settings, const ZoneBasis& basis) {
    std::string key = "placed sources " + std::to_string(kManifestVersion);
    key += "\nzone " + (settings.zone ? std::to_string(*settings.zone) : std::string("-"));
    key += " cell " + (settings.cellSize ? exactNumber(*settings.cellSize) : std::string("-"));
    key += " datum " + std::to_string(static_cast<int>(settings.datum));
    key += basis.known ? "\nbasis " + std::to_string(basis.zone) + " " +
                             std::to_string(static_cast<int>(basis.datum))
                       : std::string("\nbasis -");
    for (const DemRequest& request : requests) {
        ArchivePath inArchive;
        const std::string& file =
            splitArchivePath(request.path, inArchive) ? inArchive.file : request.path;
        if (isInternetPath(file)) return std::nullopt;
        const std::optional<std::string> fileKey = sourceKey({file});
        if (!fileKey) return std::nullopt;
        key += "\n" + request.path + "\n" + exactNumber(request.cellSize) + "\n" + *fileKey;
    }
    return key;
}

std::string placementDigest(const std::string& key) {
    const QByteArray digest = QCryptographicHash::hash(
        QByteArrayView(key.data(), static_cast<qsizetype>(key.size())), QCryptographicHash::Sha256);
    return digest.toHex().toStdString();
}

std::string placementManifestKey(const std::string& digest) {
    return "placed sources\n" + digest;
}

std::string placedMeshKey(const std::string& digest, size_t index) {
    return "placed sources\n" + digest + "\n" + std::to_string(index);
}

std::vector<uint8_t> encodeManifest(const PlacementManifest& manifest) {
    std::vector<uint8_t> out;
    putText(out, manifest.key);
    putValue(out, static_cast<uint32_t>(manifest.companions.size()));
    for (const std::string& file : manifest.companions)
        putText(out, file);
    putText(out, manifest.companionKey);
    putValue(out, static_cast<uint32_t>(manifest.meshes.size()));
    for (const PlacedMeshNote& mesh : manifest.meshes) {
        for (const std::string* text :
             {&mesh.path, &mesh.sourceKind, &mesh.sourceDatum, &mesh.sourceCrs})
            putText(out, *text);
        for (const int64_t count :
             {mesh.sourceCounts.ground, mesh.sourceCounts.water, mesh.sourceCounts.noData})
            putValue(out, count);
        putValue(out, mesh.sourceSpacing);
    }
    return out;
}

std::optional<PlacementManifest> decodeManifest(std::string_view bytes) {
    PlacementManifest manifest;
    ByteReader in{bytes};
    in.getText(manifest.key);
    uint32_t count = 0;
    in.get(count);
    // Each item takes at least its length's four bytes: a damaged count cannot reserve much.
    for (uint32_t i = 0; i < count && in.ok && in.bytes.size() >= 4; ++i)
        in.getText(manifest.companions.emplace_back());
    if (manifest.companions.size() != count) return std::nullopt;
    in.getText(manifest.companionKey);
    in.get(count);
    for (uint32_t i = 0; i < count && in.ok && in.bytes.size() >= 4; ++i) {
        PlacedMeshNote& mesh = manifest.meshes.emplace_back();
        for (std::string* text : {&mesh.path, &mesh.sourceKind, &mesh.sourceDatum, &mesh.sourceCrs})
            in.getText(*text);
        for (int64_t* value :
             {&mesh.sourceCounts.ground, &mesh.sourceCounts.water, &mesh.sourceCounts.noData})
            in.get(*value);
        in.get(mesh.sourceSpacing);
    }
    if (!in.ok || !in.bytes.empty() || manifest.meshes.size() != count) return std::nullopt;
    return manifest;
}

}  // namespace kov

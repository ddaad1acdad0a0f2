// SPDX-License-Identifier: MIT
// Members of zip files, zips inside zips included, read within stated bounds. Paths into
// archives are written "folder/outer.zip/inner.zip/member.xml": the archive taken as a folder.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kov {

struct ZipLimits {
    // A member (or its stated size) above this is refused: no zip bomb inflates past it.
    int64_t maxMemberBytes = int64_t{1} << 30;
    // Archives inside archives: the file itself is depth 1.
    int maxDepth = 4;
    // Members of one archive.
    int64_t maxMembers = 1 << 20;
};

// One archive opened from a file or from bytes held in memory.
class ZipArchive {
public:
    struct Entry {
        std::string name;  // as stored, '/' separated
        int64_t size = 0;  // the stated uncompressed size
        bool encrypted = false;
        bool directory = false;
    };
    ~ZipArchive();
    ZipArchive(const ZipArchive&) = delete;
    ZipArchive& operator=(const ZipArchive&) = delete;

    static std::unique_ptr<ZipArchive> openFile(const std::string& path, std::string* error,
                                                const ZipLimits& limits = {});
    static std::unique_ptr<ZipArchive> openBytes(std::vector<uint8_t> bytes, std::string* error,
                                                 const ZipLimits& limits = {});

    const std::vector<Entry>& entries() const;
    // Inflates entry index into out. False (out cleared) with the reason for an encrypted
    // member, one above the size bound, one that inflates to other than its stated size, or
    // damaged data.
    bool read(size_t index, std::vector<uint8_t>& out, std::string* error) const;

private:
    struct State;
    explicit ZipArchive(std::unique_ptr<State> state);
    // The archive in the file at path, or (path null) in bytes, through the zip module.
    static std::unique_ptr<ZipArchive> open(const char* path, std::vector<uint8_t> bytes,
                                            std::string* error, const ZipLimits& limits);
    std::unique_ptr<State> state_;
};

// Whether the bytes begin as a zip file does ("PK\3\4", or "PK\5\6" for an empty one).
bool looksLikeZip(std::string_view head);

// A path split at its archives: "d/a.zip/b.zip/c.xml" -> file "d/a.zip", members {"b.zip",
// "c.xml"}. The file is the longest leading part that names an existing regular file; nothing
// when no leading part does or no member follows it.
struct ArchivePath {
    std::string file;
    std::vector<std::string> members;
    std::string joined() const;  // file + "/" + members joined by "/"
};
bool splitArchivePath(const std::string& path, ArchivePath& out);
// Whether a member name is safe to name a path: not absolute, no "..", no backslash, no drive.
bool isSafeMemberName(std::string_view name);

// Calls visit for every member (not a folder) of the archive at path, depth first, the members
// of zips inside it included (their paths carry the inner zip's name), each member read once.
// select, when given, is asked for a member's archive path before it is read (nested zips are
// always opened); visit receives its bytes. Members refused (encrypted, over a bound, unsafe
// name, too deep) go to refused with the reason; visit answering false stops the walk. False
// when the archive itself cannot be opened (reason in error).
struct RefusedMember {
    std::string path;
    std::string reason;
};
bool visitArchiveMembers(
    const std::string& path, const std::function<bool(const std::string& memberPath)>& select,
    const std::function<bool(const std::string& memberPath, std::vector<uint8_t>& bytes)>& visit,
    std::vector<RefusedMember>* refused, std::string* error, const ZipLimits& limits = {});
// The same for an archive held in memory, whose members' paths begin with path.
bool visitArchiveBytes(
    std::vector<uint8_t> bytes, const std::string& path,
    const std::function<bool(const std::string& memberPath)>& select,
    const std::function<bool(const std::string& memberPath, std::vector<uint8_t>& bytes)>& visit,
    std::vector<RefusedMember>* refused, std::string* error, const ZipLimits& limits = {});

// A zip archive of the members (name, bytes), deflated, in order, each dated 1 October 2016 (so
// that the same members give the same bytes): into out, or written to path through a scratch
// file renamed over it (replaceFileAtomically). For the sample set and tests.
bool zipBytes(const std::vector<std::pair<std::string, std::string>>& members, std::string& out,
              std::string* error);
bool writeZipFile(const std::string& path,
                  const std::vector<std::pair<std::string, std::string>>& members,
                  std::string* error);

}  // namespace kov

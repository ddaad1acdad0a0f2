// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>
#include <zip.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "core/data/dem/ZipArchive.h"
#include "support/TestSupport.h"

namespace kov {
namespace {

using Members = std::vector<std::pair<std::string, std::string>>;

std::string zipped(const Members& members) {
    std::string bytes, error;
    EXPECT_TRUE(zipBytes(members, bytes, &error)) << error;
    return bytes;
}

std::vector<uint8_t> asBytes(const std::string& text) {
    return {text.begin(), text.end()};
}

// Walks the archive held in bytes; "path=contents" for each member visited, and the refusals.
struct Walk {
    std::vector<std::string> visited;
    std::vector<RefusedMember> refused;
};
Walk walk(const std::string& bytes, const ZipLimits& limits = {},
          const std::function<bool(const std::string&)>& select = {}) {
    Walk result;
    std::string error;
    EXPECT_TRUE(visitArchiveBytes(
        asBytes(bytes), "d/a.zip", select,
        [&](const std::string& path, std::vector<uint8_t>& data) {
            result.visited.push_back(path + "=" + std::string(data.begin(), data.end()));
            return true;
        },
        &result.refused, &error, limits))
        << error;
    return result;
}

// Rewrites the uncompressed size of the archive's only member, in its local header and in the
// central directory, as a zip bomb states a size smaller than what its data inflates to.
std::string withStatedSize(std::string bytes, uint32_t size) {
    const std::pair<const char*, size_t> places[] = {{"PK\3\4", 22}, {"PK\1\2", 24}};
    for (const auto& [signature, offset] : places) {
        const size_t at = bytes.find(std::string(signature, 4));
        EXPECT_NE(at, std::string::npos);
        for (int i = 0; i < 4; ++i)
            bytes[at + offset + i] = static_cast<char>(size >> (8 * i));
    }
    return bytes;
}

TEST(ZipArchive, ReadsWhatWasWritten) {
    const Members members = {{"a.xml", std::string(5000, 'a')}, {"dir/", ""}, {"dir/b.txt", "b"}};
    test::TempDir dir;
    std::string error;
    ASSERT_TRUE(writeZipFile(dir.file("x.zip"), members, &error)) << error;
    const auto archive = ZipArchive::openFile(dir.file("x.zip"), &error);
    ASSERT_TRUE(archive) << error;
    ASSERT_EQ(archive->entries().size(), 3u);
    EXPECT_TRUE(archive->entries()[1].directory);
    for (size_t i = 0; i < members.size(); ++i) {
        SCOPED_TRACE(members[i].first);
        std::vector<uint8_t> data;
        ASSERT_TRUE(archive->read(i, data, &error)) << error;
        EXPECT_EQ(std::string(data.begin(), data.end()), members[i].second);
    }
    EXPECT_TRUE(looksLikeZip(test::readFile(dir.file("x.zip"))));
}

TEST(ZipArchive, VisitsZipsInsideZipsDepthFirstWithTheirPaths) {
    const std::string deepest = zipped({{"c.xml", "c"}});
    const std::string inner = zipped({{"b.xml", "b"}, {"deeper.ZIP", deepest}});
    const std::string outer =
        zipped({{"a.xml", "a"}, {"inner.zip", inner}, {"plain.zip", "not a zip"}, {"z.xml", "z"}});
    Walk all = walk(outer);
    EXPECT_EQ(all.visited,
              (std::vector<std::string>{"d/a.zip/a.xml=a", "d/a.zip/inner.zip/b.xml=b",
                                        "d/a.zip/inner.zip/deeper.ZIP/c.xml=c",
                                        "d/a.zip/plain.zip=not a zip", "d/a.zip/z.xml=z"}));
    EXPECT_TRUE(all.refused.empty());

    ZipLimits shallow;
    shallow.maxDepth = 2;
    const Walk limited = walk(outer, shallow, [](const std::string& path) {
        return path.find("z.xml") == std::string::npos;
    });
    EXPECT_EQ(limited.visited,
              (std::vector<std::string>{"d/a.zip/a.xml=a", "d/a.zip/inner.zip/b.xml=b",
                                        "d/a.zip/plain.zip=not a zip"}));
    ASSERT_EQ(limited.refused.size(), 1u);
    EXPECT_EQ(limited.refused[0].path, "d/a.zip/inner.zip/deeper.ZIP");
    EXPECT_NE(limited.refused[0].reason.find("nested deeper than 2"), std::string::npos);
}

TEST(ZipArchive, RefusesBombsAndDamageMemberByMember) {
    const std::string big(100000, 'x');
    ZipLimits small;
    small.maxMemberBytes = 50000;
    struct Case {
        const char* what;
        std::string archive;
        ZipLimits limits;
        const char* reason;
    } cases[] = {
        {"stated size above the bound", zipped({{"big.xml", big}}), small, "more than the bound"},
        {"inflates past its stated size",
         withStatedSize(zipped({{"big.xml", big}}), 1000),
         {},
         "inflates past its stated size of 1000"},
        {"inflates to less",
         withStatedSize(zipped({{"big.xml", big}}), 200000),
         {},
         "not its stated 200000"},
        {"traversal", zipped({{"../x.xml", "x"}}), {}, "unsafe"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Walk result = walk(c.archive, c.limits);
        EXPECT_TRUE(result.visited.empty());
        ASSERT_EQ(result.refused.size(), 1u);
        EXPECT_NE(result.refused[0].reason.find(c.reason), std::string::npos)
            << result.refused[0].reason;
    }
    std::string error;
    const std::string good = zipped({{"a.xml", big}});
    EXPECT_FALSE(ZipArchive::openBytes(asBytes(good.substr(0, good.size() / 2)), &error));
    EXPECT_NE(error.find("not a readable zip archive"), std::string::npos) << error;
}

TEST(ZipArchive, RefusesEncryptedMembers) {
    if (!zip_encryption_method_supported(ZIP_EM_AES_256, 1)) GTEST_SKIP() << "no AES in libzip";
    test::TempDir dir;
    const std::string path = dir.file("secret.zip");
    int code = 0;
    zip_t* archive = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &code);
    ASSERT_TRUE(archive);
    const char text[] = "secret";
    zip_source_t* source = zip_source_buffer(archive, text, std::strlen(text), 0);
    const zip_int64_t index = zip_file_add(archive, "s.xml", source, 0);
    ASSERT_GE(index, 0);
    ASSERT_EQ(zip_file_set_encryption(archive, index, ZIP_EM_AES_256, "password"), 0);
    ASSERT_EQ(zip_close(archive), 0);

    std::vector<RefusedMember> refused;
    std::string error;
    ASSERT_TRUE(visitArchiveMembers(
        path, {}, [](const std::string&, std::vector<uint8_t>&) { return true; }, &refused,
        &error));
    ASSERT_EQ(refused.size(), 1u);
    EXPECT_EQ(refused[0].path, path + "/s.xml");
    EXPECT_NE(refused[0].reason.find("encrypted"), std::string::npos) << refused[0].reason;
}

TEST(ZipArchive, SplitsPathsAtTheArchiveFile) {
    test::TempDir dir;
    test::writeFile(dir.file("data/a.ZIP"), zipped({{"b.xml", "b"}}));
    test::writeFile(dir.file("data/x.zip/c.xml"), "a folder named like an archive");
    ArchivePath split;
    ASSERT_TRUE(splitArchivePath(dir.file("data/a.ZIP/b.zip/c.xml"), split));
    EXPECT_EQ(split.file, dir.file("data/a.ZIP"));
    EXPECT_EQ(split.members, (std::vector<std::string>{"b.zip", "c.xml"}));
    EXPECT_EQ(split.joined(), dir.file("data/a.ZIP/b.zip/c.xml"));
    for (const char* path :
         {"data/a.ZIP", "data/x.zip/c.xml", "data/missing.zip/b.xml", "data/a.ZIP//b.xml"}) {
        SCOPED_TRACE(path);
        EXPECT_FALSE(splitArchivePath(dir.file(path), split));
    }
}

TEST(ZipArchive, TellsSafeMemberNames) {
    for (const char* name : {"a.xml", "dir/b.xml", "a..b/c.xml", "./x"}) {
        EXPECT_TRUE(isSafeMemberName(name)) << name;
    }
    for (const char* name :
         {"", "../x.xml", "a/../../x", "a/..", "/etc/passwd", "C:x.xml", "a\\b.xml"}) {
        EXPECT_FALSE(isSafeMemberName(name)) << name;
    }
}

}  // namespace
}  // namespace kov

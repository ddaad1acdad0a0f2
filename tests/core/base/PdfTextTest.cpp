// SPDX-License-Identifier: MIT
#include "core/base/PdfText.h"

#include <gtest/gtest.h>

namespace kov {
namespace {

// Radicals among the targets read as the ordinary ideographs (U+2FBC 高 -> U+9AD8, U+2F00 一 ->
// U+4E00); a run of consecutive targets that holds one becomes a list; everything else stays.
TEST(PdfText, RadicalsInTextMapsReadAsOrdinaryIdeographs) {
    const std::string map =
        "2 beginbfrange\n"
        "<0001> <0001> <2FBC>\n"
        "<0002> <0004> <2EFF>\n"
        "<0005> <0006> [<6A19> <2F00>]\n"
        "endbfrange\n"
        "1 beginbfchar\n"
        "<2FBC> <2FBC>\n"
        "endbfchar\n"
        "<2FBC>";
    EXPECT_EQ(mendTextMap(map),
              "2 beginbfrange\n"
              "<0001> <0001> [<9AD8>]\n"
              "<0002> <0004> [<2EFF> <4E00> <4E28>]\n"
              "<0005> <0006> [<6A19> <4E00>]\n"
              "endbfrange\n"
              "1 beginbfchar\n"
              "<2FBC> <9AD8>\n"
              "endbfchar\n"
              "<2FBC>");
    EXPECT_TRUE(withSearchableText("not a PDF").isEmpty());
}

}  // namespace
}  // namespace kov

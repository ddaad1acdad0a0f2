// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "core/base/TextCodec.h"
#include "core/project/KovXmlParser.h"
#include "support/TestSupport.h"

namespace kov {
namespace {

const std::string D = "<?xml version='1.0'?>";

// A node and everything below it in one line: an element as name[attributes]{children} (integer
// attributes unquoted), a text as 'text', CDATA as <![text]>, a comment as <!--text-->, a
// declaration as <!text>, a processing instruction as <?text?>; "^" marks a wrong parent.
std::string dump(const COXParserObject* node) {
    static const std::map<XmlNodeKind, std::pair<std::string, std::string>> marks = {
        {XmlNodeKind::Text, {"'", "'"}},
        {XmlNodeKind::CData, {"<![", "]>"}},
        {XmlNodeKind::Comment, {"<!--", "-->"}},
        {XmlNodeKind::Declaration, {"<!", ">"}},
        {XmlNodeKind::ProcessingInstruction, {"<?", "?>"}}};
    if (const auto mark = marks.find(node->Kind()); mark != marks.end())
        return mark->second.first + node->Text() + mark->second.second;
    const auto* e = static_cast<const COXParserElement*>(node);
    std::string out = e->Name();
    for (int i = 0; i < e->AttributeCount(); ++i) {
        const COXAttribute* a = e->Attribute(i);
        out += (i ? "," : "[") + a->name + "=" +
               (a->isInteger ? std::to_string(a->intValue) : '"' + a->stringValue + '"');
    }
    out += e->AttributeCount() ? "]" : "";
    for (int i = 0; i < e->ChildCount(); ++i)
        out += (i ? " " : "{") + dump(e->Child(i)) + (e->Child(i)->Parent() == e ? "" : "^");
    return out + (e->ChildCount() ? "}" : "");
}

// The children of the root after the XML declaration.
std::string tree(const COXParser& parser) {
    std::string out;
    for (int i = 0; i < parser.Root()->ChildCount(); ++i) {
        const COXParserObject* child = parser.Root()->Child(i);
        if (i > 0 || !dump(child).starts_with("<?xml"))
            out += (out.empty() ? "" : " ") + dump(child);
    }
    return out;
}

std::string codes(const COXParser& parser) {
    std::string codes;
    for (const auto& error : parser.Errors())
        codes += (codes.empty() ? "" : " ") + std::to_string(error.code);
    return codes;
}

// Closes the open element at a mismatched end tag instead of stopping.
struct LenientParser : KovXmlParser {
    LenientParser() { strictEndTags_ = false; }
};

std::string cp932(const std::string& utf8) {
    std::string out;
    EXPECT_TRUE(utf8ToCp932(utf8, out));
    return out;
}

TEST(KovXmlParser, DocumentsAndTheirTrees) {
    using P = KovXmlParser;
    const struct {
        std::string document;
        bool ok;
        const char* tree;   // nullptr: not checked
        const char* codes;  // nullptr: not checked
        int encoding = -1;  // -1: not checked
    } cases[] = {
        {D + "<a/>", true, "a", ""},
        // A byte-order mark or anything blank in front is refused, and the earlier tree goes.
        {"\xEF\xBB\xBF" + D + "<a/>", false, "", nullptr},
        {"\r\n" + D + "<a/>", false, "", nullptr},
        {" " + D + "<a/>", false, "", nullptr},
        {"<?XML version='1.0'?><a/>", false, nullptr, nullptr},
        {D + "<a/>" + std::string(1, '\0') + "<b>", true, "a", ""},  // a zero byte ends it
        // Declared UTF-8 in either case; broken sequences become U+FFFD.
        {"<?xml version='1.0' encoding='UTF-8'?><t>標高メッシュ ｶﾅ</t>", true,
         "t{'標高メッシュ ｶﾅ'}", "", P::Utf8},
        {"<?xml version='1.0' encoding='utf-8'?><t>ｶﾅ</t>", true, "t{'ｶﾅ'}", "", P::Utf8},
        {"<?xml encoding=\"UTF-8\"?><t>a\xFF\xE6\xA8</t>", true,
         "t{'a\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD'}", ""},
        // Shift_JIS is converted whole: "表" and "ソ" end in the byte of "\", "ゾ" in "]" and
        // "ー" in "[".
        {cp932("<?xml version='1.0' encoding='shift_jis'?><Mesh Name=\"表ソ\">C:\\データ\\表ソ.kov"
               "<![CDATA[ゾ]]]></Mesh><Title>ー[ゾ]</Title>"),
         true, "Mesh[Name=\"表ソ\"]{'C:\\データ\\表ソ.kov' <![ゾ]]>} Title{'ー[ゾ]'}", "",
         P::Native},
        // Undeclared: UTF-8 when the bytes are UTF-8, otherwise CP932; an unknown encoding counts
        // as none.
        {D + "<t>表ソ</t>", true, "t{'表ソ'}", "", P::NotSeen},
        {cp932(D + "<t>表ソ</t>"), true, "t{'表ソ'}", "", P::NotSeen},
        {cp932("<?xml encoding='Latin-1'?><t>表</t>"), true, "t{'表'}", "", P::NotSeen},
        // EUC-JP: "漢字", half-width "ｱ" (0x8E 0xB1) and "丂" from JIS X 0212 (0x8F 0xB0 0xA1).
        {"<?xml version='1.0' encoding='euc-jp'?><t n='\xB4\xC1'>\xB4\xC1\xBB\xFA\x8E\xB1\x8F\xB0"
         "\xA1</t>",
         true, "t[n=\"漢\"]{'漢字ｱ丂'}", "", P::EucJp},
        // Broken EUC-JP sequences give U+FFFD and lose one byte each.
        {"<?xml encoding='EUC-JP'?><t>a\xFF"
         "b\xB4\xC1\xB4</t><u>\x8E</u>",
         true,
         "t{'a\xEF\xBF\xBD"
         "b漢\xEF\xBF\xBD'} u{'\xEF\xBF\xBD'}",
         ""},
        // One level of replacement; a reference gives the low 8 bits of its value, CP932
        // half-width katakana bytes give their characters and other high bytes U+FFFD.
        {D + "<t>&amp;lt; &#65;&#x41;&#09;|&#177;&#223;&#128;&#321;&quot;&apos;&gt;</t>", true,
         "t{'&lt; AA\t|ｱﾟ\xEF\xBF\xBD"
         "A\"'>'}",
         ""},
        // Unknown names and missing semicolons stay as written, reported as 108.
        {D + "<r><t>&foo; &#1x; &amp x &</t><u>&lt</u></r>", true,
         "r{t{'&foo; &#1x; &amp x &'} u{'&lt'}}", "108 108 108 108 108"},
        // Entity declarations: the value is taken as written, the built-in ones keep their
        // meaning, parameter entities are not used.
        {"<?xml version='1.0' encoding='UTF-8'?>\n<!DOCTYPE MeshProject SYSTEM \"a>b\" [\n"
         "  <!-- ] > -->\n  <!entity title \"標高 &amp; <x>\">\n  <!ENTITY lt 'X'>\n"
         "  <!ENTITY % param 'p'>\n  <!ELEMENT MeshProject "
         "ANY>\n]>\n<MeshProject>&title;|&lt;|&param;</MeshProject>",
         true,
         "<!DOCTYPE MeshProject SYSTEM \"a>b\" [\n  <!-- ] > -->\n  <!entity title \"標高 &amp; "
         "<x>\">\n  <!ENTITY lt 'X'>\n  <!ENTITY % param 'p'>\n  <!ELEMENT MeshProject ANY>\n]> "
         "MeshProject{'標高 &amp; "
         "<x>|<|&param;'}",
         "108"},
        {D + "<t>&title;</t>", true, "t{'&title;'}", "108"},  // they do not outlive the document
        {D + "<!DOCTYPE t [<!ENTITY e '" + std::string(1 << 20, 'x') + "'>]><t>" +
             test::repeat("&e;", 100) + "</t>",
         false, nullptr, "103"},  // expansion is bounded
        // Written white space around text goes, references stay; blank text is no node.
        {D + "<r><a>\r\n\t  two  words \t\r\n</a><b>&#09;x&#32;</b><c> \r\n </c><d>one<!--c-->two "
             "</d></r>",
         true, "r{a{'two  words'} b{'\tx '} c d{'one' <!--c--> 'two'}}", ""},
        // Quoted attributes are strings (never replaced), unquoted ones integers, clamped.
        {D + "<Image Disp=1 Alpha=\"1\" Neg = -42 Q='a&amp;\"b' Big=99999999999 "
             "Small=-99999999999 Plus=+7/>",
         true,
         "Image[Disp=1,Alpha=\"1\",Neg=-42,Q=\"a&amp;\"b\",Big=2147483647,Small=-2147483648,"
         "Plus=7]",
         ""},
        {D + "<!-- note --><!ELEMENT x><r><?pi a=\"?\"?><![CDATA[ <raw> &amp; ]]><e/></r>", true,
         "<!-- note --> <!ELEMENT x> r{<?pi a=\"?\"?> <![ <raw> &amp; ]> e}", ""},
        // End tags must match exactly; what was built stays. One with nothing open only warns.
        {D + "<a><b></a><c/>", false, "a{b}", "107"},
        {D + "</x><a>t</a></a>", true, "a{'t'}", "201 201"},
        {D + "<a></A>", false, nullptr, nullptr},
        {D + "<a><b>text", false, "a{b{'text'}}", nullptr},
    };
    KovXmlParser parser;  // one parser for all: nothing of a document outlives it
    for (const auto& c : cases) {
        const bool ok = parser.ParseDocument(c.document);
        // "-" and -1 stand for what a case does not check.
        EXPECT_EQ(std::tuple(ok, c.tree ? tree(parser) : "-", c.codes ? codes(parser) : "-",
                             c.encoding < 0 ? -1 : parser.DeclaredEncoding()),
                  std::tuple(c.ok, c.tree ? c.tree : "-", c.codes ? c.codes : "-", c.encoding))
            << c.document.substr(0, 80);
    }
    ASSERT_TRUE(parser.ParseDocument(D + "<a/>"));
    EXPECT_EQ(dump(parser.Root()), "[Root]{<?xml version='1.0'?> a}");
    // A file that cannot be read leaves no tree either (Shift_JIS files are read by the project
    // file tests).
    EXPECT_FALSE(parser.ParseFile("/nonexistent/missing.kovv5"));
    EXPECT_EQ(parser.Root()->ChildCount(), 0);
    ASSERT_TRUE(parser.ParseDocument(D + "<r><t>&amp x</t></r>"));
    EXPECT_EQ(parser.Errors()[0].message, "Missing ';' on character entity '&amp'.");

    // Without strict checking the open element is closed anyway.
    LenientParser lenient;
    ASSERT_TRUE(lenient.ParseDocument(D + "<a><b></a><c/></x>"));
    EXPECT_EQ(std::pair(tree(lenient), codes(lenient)),
              std::pair(std::string("a{b c}"), std::string("107 107")));
}

TEST(KovXmlParser, MalformedInputGivesItsError) {
    const struct {
        const char* body;
        int code;
        int children = 0;  // a broken start tag adds no element
    } cases[] = {
        {"<", 102},         {"< =>", 106},         {"<a x", 102},
        {"<a?>", 105},      {"<a x ", 104},        {"<a x=", 104},
        {"<a x y>", 106},   {"<a x=->", 106},      {"<a x='1", 102},
        {"<a x=12", 102},   {"<a x=1 ", 102},      {"<a / >", 110},
        {"<a \"x\">", 110}, {"<a>></a>", 106, 1},  {"</", 104},
        {"</>", 106},       {"<a></a x>", 104, 1}, {"<?pi", 102},
        {"<!-- x --", 102}, {"<![CDATA[x]]", 102}, {"<!DOCTYPE x [ <!ENTITY a 'b'> >", 102},
        {"<!x", 102},
    };
    COXParser nullBuffer;
    EXPECT_FALSE(nullBuffer.ParseBuffer(std::string_view()));
    EXPECT_EQ(codes(nullBuffer), "101");
    for (const auto& c : cases) {
        COXParser parser;
        EXPECT_FALSE(parser.ParseBuffer(c.body)) << c.body;
        ASSERT_FALSE(parser.Errors().empty()) << c.body;
        EXPECT_EQ(parser.Errors().back().code, c.code) << c.body;
        EXPECT_EQ(parser.Root()->ChildCount(), c.children) << c.body;
    }
}

TEST(KovXmlParser, LinesColumnsAndTheAttachedLog) {
    // After "</a>" on line 4: a new line starts at column 0, CR LF counts once and a Japanese
    // character counts once.
    for (const auto& [document, line, column] : {std::tuple{D + "\n<a>\n  <b>\n</a>", 4, 4},
                                                 {D + "\r\n<a>\r\n  <b>\r\n</a>", 4, 4},
                                                 {D + "<a>日本</b>", 1, 21 + 3 + 2 + 4 + 1}}) {
        KovXmlParser parser;
        EXPECT_FALSE(parser.ParseDocument(document));
        ASSERT_EQ(parser.Errors().size(), 1u);
        EXPECT_EQ(std::pair(parser.Errors()[0].line, parser.Errors()[0].column),
                  std::pair(line, column));
    }

    std::FILE* log = std::tmpfile();
    ASSERT_TRUE(log);
    KovXmlParser parser;
    parser.AttachLog(log);
    EXPECT_FALSE(parser.ParseDocument(D + "\n</x>\n<a></b>"));
    std::rewind(log);
    std::string written(512, '\0');
    written.resize(std::fread(written.data(), 1, written.size(), log));
    std::fclose(log);
    EXPECT_EQ(written,
              "XMLParser: Warning (201) at line 2, col 4: Unexpected end tag 'x'.\r\n"
              "XMLParser: Error (107) at line 3, col 7: Expecting end tag 'a'. Found end tag 'b' "
              "instead.\r\n");
}

TEST(KovXmlParser, DamagedFilesKeepTheFirstHundredErrorsAndCountTheRest) {
    const std::string body = "<r>" + test::repeat("&bad; </stray>", 5000);
    LenientParser parser;
    std::FILE* log = std::tmpfile();
    ASSERT_TRUE(log);
    parser.AttachLog(log);
    parser.ParseDocument(D + body + "</r>");
    const long logged = std::ftell(log);
    std::fclose(log);
    ASSERT_EQ(parser.Errors().size(), KovXmlParser::kMaxKeptErrors);
    EXPECT_GE(parser.ErrorCount(), 10000);
    EXPECT_EQ(parser.Errors()[0].code, 108);
    EXPECT_LT(logged, 100 * 160) << "the log holds the kept errors only";
}

TEST(KovXmlParser, DeepNestingNeedsNoDeepStack) {
    constexpr int kDepth = 1000000;
    const std::string open = test::repeat("<a>", kDepth), close = test::repeat("</a>", kDepth);
    KovXmlParser parser;
    ASSERT_TRUE(parser.ParseDocument(D + open + "x" + close));
    int depth = 1;
    const COXParserObject* node = parser.Root()->Child(1);
    for (; node->Kind() == XmlNodeKind::Element; ++depth)
        node = static_cast<const COXParserElement*>(node)->Child(0);
    EXPECT_EQ(depth, kDepth + 1);
    EXPECT_EQ(node->Text(), "x");
    EXPECT_FALSE(parser.ParseDocument(D + open));
    EXPECT_EQ(codes(parser), "107");
}

}  // namespace
}  // namespace kov

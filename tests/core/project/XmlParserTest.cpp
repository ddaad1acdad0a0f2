#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "core/base/TextCodec.h"
#include "core/project/KovXmlParser.h"
#include "support/TestSupport.h"

namespace kov {
namespace {

constexpr const char* kDecl = "<?xml version='1.0'?>";

const COXParserElement* asElement(const COXParserObject* node) {
    return node && node->Kind() == XmlNodeKind::Element ? static_cast<const COXParserElement*>(node)
                                                        : nullptr;
}

// The document element: the first element below the root.
const COXParserElement* documentElement(const COXParser& parser) {
    for (int i = 0; i < parser.Root()->ChildCount(); ++i) {
        if (const auto* element = asElement(parser.Root()->Child(i))) return element;
    }
    return nullptr;
}

// The text of an element's first text child, "" when it has none.
std::string textOf(const COXParserElement* element) {
    for (int i = 0; element && i < element->ChildCount(); ++i) {
        if (element->Child(i)->Kind() == XmlNodeKind::Text) return element->Child(i)->Text();
    }
    return "";
}

std::string cp932(const std::string& utf8) {
    std::string out;
    EXPECT_TRUE(utf8ToCp932(utf8, out));
    return out;
}

std::vector<int> codes(const COXParser& parser) {
    std::vector<int> codes;
    for (const auto& error : parser.Errors())
        codes.push_back(error.code);
    return codes;
}

TEST(KovXmlParser, DocumentMustBeginWithTheDeclaration) {
    KovXmlParser parser;
    ASSERT_TRUE(parser.ParseDocument(std::string(kDecl) + "<a/>"));
    ASSERT_EQ(parser.Root()->Name(), "[Root]");
    ASSERT_EQ(parser.Root()->ChildCount(), 2);
    EXPECT_EQ(parser.Root()->Child(0)->Kind(), XmlNodeKind::ProcessingInstruction);
    EXPECT_EQ(parser.Root()->Child(0)->Text(), "xml version='1.0'");
    EXPECT_EQ(documentElement(parser)->Name(), "a");
    EXPECT_EQ(documentElement(parser)->Parent(), parser.Root());

    // A byte-order mark or anything blank in front is refused, and the earlier tree goes.
    for (const std::string prefix : {"\xEF\xBB\xBF", "\r\n", " "}) {
        EXPECT_FALSE(parser.ParseDocument(prefix + kDecl + "<a/>")) << prefix;
        EXPECT_EQ(parser.Root()->ChildCount(), 0);
    }
    EXPECT_FALSE(parser.ParseDocument("<?XML version='1.0'?><a/>"));

    // A zero byte ends the document.
    ASSERT_TRUE(parser.ParseDocument(std::string(kDecl) + "<a/>" + std::string(1, '\0') + "<b>"));
    EXPECT_EQ(parser.Root()->ChildCount(), 2);
}

TEST(KovXmlParser, ParseFileReadsTheWholeFile) {
    test::TempDir dir;
    const std::string path = dir.file("project.kovv5");
    test::writeFile(path, cp932("<?xml version='1.0' encoding='Shift_JIS'?>\r\n"
                                "<MeshProject>\r\n\t<Title>標高</Title>\r\n</MeshProject>\r\n"));
    KovXmlParser parser;
    ASSERT_TRUE(parser.ParseFile(path));
    EXPECT_EQ(parser.DeclaredEncoding(), KovXmlParser::Native);
    EXPECT_EQ(textOf(asElement(documentElement(parser)->Child(0))), "標高");

    EXPECT_FALSE(parser.ParseFile(dir.file("missing.kovv5")));
    EXPECT_EQ(parser.Root()->ChildCount(), 0);
    EXPECT_FALSE(parser.ParseFile(dir.path()));
}

TEST(KovXmlParser, DeclaredUtf8StaysUtf8InEitherCase) {
    for (const std::string name : {"UTF-8", "utf-8"}) {
        KovXmlParser parser;
        ASSERT_TRUE(parser.ParseDocument("<?xml version='1.0' encoding='" + name +
                                         "'?><t>標高メッシュ ｶﾅ</t>"));
        EXPECT_EQ(parser.DeclaredEncoding(), KovXmlParser::Utf8) << name;
        EXPECT_EQ(textOf(documentElement(parser)), "標高メッシュ ｶﾅ") << name;
    }
    // Broken sequences become U+FFFD, so the tree only ever holds valid UTF-8.
    KovXmlParser parser;
    ASSERT_TRUE(parser.ParseDocument("<?xml encoding=\"UTF-8\"?><t>a\xFF\xE6\xA8</t>"));
    EXPECT_EQ(textOf(documentElement(parser)), "a\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD");
}

TEST(KovXmlParser, ShiftJisDocumentsAreConvertedWhole) {
    // "表" and "ソ" end in the byte of "\", "ゾ" in "]" and "ー" in "[".
    const std::string body =
        "<Mesh Name=\"表ソ\">C:\\データ\\表ソ.kov<![CDATA[ゾ]]]></Mesh><Title>ー[ゾ]</Title>";
    KovXmlParser parser;
    ASSERT_TRUE(parser.ParseDocument(cp932("<?xml version='1.0' encoding='shift_jis'?>" + body)));
    EXPECT_EQ(parser.DeclaredEncoding(), KovXmlParser::Native);
    const auto* root = parser.Root();
    ASSERT_EQ(root->ChildCount(), 3);
    const auto* mesh = asElement(root->Child(1));
    ASSERT_TRUE(mesh);
    EXPECT_EQ(mesh->Attribute(0)->stringValue, "表ソ");
    EXPECT_EQ(textOf(mesh), "C:\\データ\\表ソ.kov");
    ASSERT_EQ(mesh->ChildCount(), 2);
    EXPECT_EQ(mesh->Child(1)->Text(), "ゾ]");
    EXPECT_EQ(textOf(asElement(root->Child(2))), "ー[ゾ]");

    // Without a declaration: UTF-8 when the bytes are UTF-8, otherwise CP932.
    ASSERT_TRUE(parser.ParseDocument(std::string(kDecl) + "<t>表ソ</t>"));
    EXPECT_EQ(parser.DeclaredEncoding(), KovXmlParser::NotSeen);
    EXPECT_EQ(textOf(documentElement(parser)), "表ソ");
    ASSERT_TRUE(parser.ParseDocument(cp932(std::string(kDecl) + "<t>表ソ</t>")));
    EXPECT_EQ(textOf(documentElement(parser)), "表ソ");
    // An unknown encoding counts as none.
    ASSERT_TRUE(parser.ParseDocument(cp932("<?xml encoding='Latin-1'?><t>表</t>")));
    EXPECT_EQ(parser.DeclaredEncoding(), KovXmlParser::NotSeen);
    EXPECT_EQ(textOf(documentElement(parser)), "表");
}

TEST(KovXmlParser, EucJpDocumentsBecomeUtf8) {
    // "漢字", half-width "ｱ" (0x8E 0xB1) and "丂" from JIS X 0212 (0x8F 0xB0 0xA1).
    KovXmlParser parser;
    ASSERT_TRUE(
        parser.ParseDocument("<?xml version='1.0' encoding='euc-jp'?><t "
                             "n='\xB4\xC1'>\xB4\xC1\xBB\xFA\x8E\xB1\x8F\xB0\xA1"
                             "</t>"));
    EXPECT_EQ(parser.DeclaredEncoding(), KovXmlParser::EucJp);
    EXPECT_EQ(textOf(documentElement(parser)), "漢字ｱ丂");
    EXPECT_EQ(documentElement(parser)->Attribute(0)->stringValue, "漢");

    std::string out;
    ASSERT_TRUE(
        eucJpToUtf8("a\xFF"
                    "b\xB4\xC1\xB4",
                    out));
    EXPECT_EQ(out,
              "a\xEF\xBF\xBD"
              "b漢\xEF\xBF\xBD");
    ASSERT_TRUE(eucJpToUtf8("\x8E", out));
    EXPECT_EQ(out, "\xEF\xBF\xBD");
}

TEST(KovXmlParser, EntitiesAndCharacterReferences) {
    KovXmlParser parser;
    ASSERT_TRUE(
        parser.ParseDocument(std::string(kDecl) +
                             "<t>&amp;lt; &#65;&#x41;&#09;|&#177;&#223;&#128;&#321;&quot;&apos;"
                             "&gt;</t>"));
    // One level of replacement; a reference gives the low 8 bits of its value, CP932 half-width
    // katakana bytes give their characters and other high bytes U+FFFD.
    EXPECT_EQ(textOf(documentElement(parser)),
              "&lt; AA\t|ｱﾟ\xEF\xBF\xBD"
              "A\"'>");
    EXPECT_TRUE(parser.Errors().empty());

    // Unknown names and missing semicolons stay as written, reported as 108; parsing goes on.
    ASSERT_TRUE(
        parser.ParseDocument(std::string(kDecl) + "<r><t>&foo; &#1x; &amp x &</t><u>&lt</u></r>"));
    const auto* r = documentElement(parser);
    EXPECT_EQ(textOf(asElement(r->Child(0))), "&foo; &#1x; &amp x &");
    EXPECT_EQ(textOf(asElement(r->Child(1))), "&lt");
    EXPECT_EQ(codes(parser), (std::vector<int>{108, 108, 108, 108, 108}));
    EXPECT_EQ(parser.Errors()[2].message, "Missing ';' on character entity '&amp'.");
}

TEST(KovXmlParser, DoctypeEntityDeclarationsAddEntities) {
    KovXmlParser parser;
    ASSERT_TRUE(
        parser.ParseDocument("<?xml version='1.0' encoding='UTF-8'?>\n"
                             "<!DOCTYPE MeshProject SYSTEM \"a>b\" [\n"
                             "  <!-- ] > -->\n"
                             "  <!entity title \"標高 &amp; <x>\">\n"
                             "  <!ENTITY lt 'X'>\n"
                             "  <!ENTITY % param 'p'>\n"
                             "  <!ELEMENT MeshProject ANY>\n"
                             "]>\n"
                             "<MeshProject>&title;|&lt;|&param;</MeshProject>"));
    ASSERT_EQ(parser.Root()->ChildCount(), 3);
    EXPECT_EQ(parser.Root()->Child(1)->Kind(), XmlNodeKind::Declaration);
    EXPECT_TRUE(parser.Root()->Child(1)->Text().starts_with("DOCTYPE MeshProject SYSTEM"));
    EXPECT_TRUE(parser.Root()->Child(1)->Text().ends_with("ANY>\n]"));
    // The value is taken as written; the built-in entities keep their meaning.
    EXPECT_EQ(textOf(documentElement(parser)), "標高 &amp; <x>|<|&param;");
    EXPECT_EQ(codes(parser), std::vector<int>{108});

    // Declared entities do not outlive their document.
    ASSERT_TRUE(parser.ParseDocument(std::string(kDecl) + "<t>&title;</t>"));
    EXPECT_EQ(textOf(documentElement(parser)), "&title;");
}

TEST(KovXmlParser, RepeatedEntityExpansionIsBounded) {
    const std::string value(1 << 20, 'x');
    std::string document = std::string(kDecl) + "<!DOCTYPE t [<!ENTITY e '" + value + "'>]><t>";
    for (int i = 0; i < 100; ++i)
        document += "&e;";
    document += "</t>";
    KovXmlParser parser;
    EXPECT_FALSE(parser.ParseDocument(document));
    EXPECT_EQ(codes(parser), std::vector<int>{103});
}

TEST(KovXmlParser, TextIsTrimmedOfWrittenWhiteSpaceOnly) {
    KovXmlParser parser;
    ASSERT_TRUE(parser.ParseDocument(std::string(kDecl) +
                                     "<r><a>\r\n\t  two  words \t\r\n</a><b>&#09;x&#32;</b>"
                                     "<c> \r\n </c><d>one<!--c-->two </d></r>"));
    const auto* r = documentElement(parser);
    EXPECT_EQ(textOf(asElement(r->Child(0))), "two  words");
    EXPECT_EQ(textOf(asElement(r->Child(1))), "\tx ");
    EXPECT_EQ(asElement(r->Child(2))->ChildCount(), 0);
    const auto* d = asElement(r->Child(3));
    ASSERT_EQ(d->ChildCount(), 3);
    EXPECT_EQ(d->Child(0)->Text(), "one");
    EXPECT_EQ(d->Child(2)->Text(), "two");
}

TEST(KovXmlParser, QuotedAttributesAreStringsUnquotedAreIntegers) {
    KovXmlParser parser;
    ASSERT_TRUE(parser.ParseDocument(
        std::string(kDecl) +
        "<Image Disp=1 Alpha=\"1\" Neg = -42 Q='a&amp;\"b' Big=99999999999 Small=-99999999999 "
        "Plus=+7/>"));
    const auto* image = documentElement(parser);
    ASSERT_EQ(image->AttributeCount(), 7);
    const auto* disp = image->Attribute(0);
    EXPECT_EQ(std::tuple(disp->name, disp->isInteger, disp->intValue), std::tuple("Disp", true, 1));
    EXPECT_FALSE(image->Attribute(1)->isInteger);
    EXPECT_EQ(image->Attribute(1)->stringValue, "1");
    EXPECT_EQ(image->Attribute(3)->stringValue, "a&amp;\"b");  // never replaced
    std::vector<int> numbers;
    for (int i : {2, 4, 5, 6})
        numbers.push_back(image->Attribute(i)->intValue);
    EXPECT_EQ(numbers, (std::vector<int>{-42, INT32_MAX, INT32_MIN, 7}));
    EXPECT_EQ(image->Attribute(7), nullptr);
}

TEST(KovXmlParser, EndTagsMustMatch) {
    KovXmlParser parser;
    EXPECT_FALSE(parser.ParseDocument(std::string(kDecl) + "<a><b></a><c/>"));
    EXPECT_EQ(codes(parser), std::vector<int>{107});
    // What was built stays.
    const auto* a = documentElement(parser);
    ASSERT_EQ(a->ChildCount(), 1);
    EXPECT_EQ(asElement(a->Child(0))->Name(), "b");
    EXPECT_EQ(a->Child(0)->Parent(), a);

    // An end tag with nothing open is only a warning.
    ASSERT_TRUE(parser.ParseDocument(std::string(kDecl) + "</x><a>t</a></a>"));
    EXPECT_EQ(codes(parser), (std::vector<int>{201, 201}));
    EXPECT_EQ(textOf(documentElement(parser)), "t");

    // Comparison is exact.
    EXPECT_FALSE(parser.ParseDocument(std::string(kDecl) + "<a></A>"));
    EXPECT_FALSE(parser.ParseDocument(std::string(kDecl) + "<a><b>text"));
    EXPECT_EQ(textOf(asElement(documentElement(parser)->Child(0))), "text");

    // Without strict checking the open element is closed anyway.
    struct Lenient : KovXmlParser {
        Lenient() { strictEndTags_ = false; }
    } lenient;
    ASSERT_TRUE(lenient.ParseDocument(std::string(kDecl) + "<a><b></a><c/></x>"));
    EXPECT_EQ(codes(lenient), (std::vector<int>{107, 107}));
    EXPECT_EQ(asElement(documentElement(lenient)->Child(1))->Name(), "c");
}

TEST(KovXmlParser, NodeKinds) {
    KovXmlParser parser;
    ASSERT_TRUE(parser.ParseDocument(std::string(kDecl) +
                                     "<!-- note --><!ELEMENT x><r><?pi a=\"?\"?>"
                                     "<![CDATA[ <raw> &amp; ]]><e/></r>"));
    const auto* root = parser.Root();
    ASSERT_EQ(root->ChildCount(), 4);
    EXPECT_EQ(std::pair(root->Child(1)->Kind(), root->Child(1)->Text()),
              std::pair(XmlNodeKind::Comment, std::string(" note ")));
    EXPECT_EQ(std::pair(root->Child(2)->Kind(), root->Child(2)->Text()),
              std::pair(XmlNodeKind::Declaration, std::string("ELEMENT x")));
    const auto* r = asElement(root->Child(3));
    ASSERT_EQ(r->ChildCount(), 3);
    EXPECT_EQ(std::pair(r->Child(0)->Kind(), r->Child(0)->Text()),
              std::pair(XmlNodeKind::ProcessingInstruction, std::string("pi a=\"?\"")));
    EXPECT_EQ(std::pair(r->Child(1)->Kind(), r->Child(1)->Text()),
              std::pair(XmlNodeKind::CData, std::string(" <raw> &amp; ")));
    EXPECT_EQ(r->Child(2)->Parent(), r);
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
    EXPECT_EQ(codes(nullBuffer), std::vector<int>{101});
    for (const auto& c : cases) {
        COXParser parser;
        EXPECT_FALSE(parser.ParseBuffer(c.body)) << c.body;
        ASSERT_FALSE(parser.Errors().empty()) << c.body;
        EXPECT_EQ(parser.Errors().back().code, c.code) << c.body;
        EXPECT_EQ(parser.Root()->ChildCount(), c.children) << c.body;
    }
}

TEST(KovXmlParser, LinesAndColumns) {
    // Reported after "</a>" on line 4: a new line starts at column 0, CR LF counts once and a
    // Japanese character counts once.
    for (const std::string eol : {"\n", "\r\n"}) {
        KovXmlParser parser;
        EXPECT_FALSE(
            parser.ParseDocument(std::string(kDecl) + eol + "<a>" + eol + "  <b>" + eol + "</a>"));
        ASSERT_EQ(parser.Errors().size(), 1u);
        EXPECT_EQ(parser.Errors()[0].line, 4);
        EXPECT_EQ(parser.Errors()[0].column, 4);
    }
    KovXmlParser parser;
    EXPECT_FALSE(parser.ParseDocument(std::string(kDecl) + "<a>日本</b>"));
    ASSERT_EQ(parser.Errors().size(), 1u);
    EXPECT_EQ(parser.Errors()[0].line, 1);
    EXPECT_EQ(parser.Errors()[0].column, 21 + 3 + 2 + 4 + 1);
}

TEST(KovXmlParser, ErrorsGoToTheAttachedLogOnce) {
    std::FILE* log = std::tmpfile();
    ASSERT_TRUE(log);
    KovXmlParser parser;
    parser.AttachLog(log);
    EXPECT_FALSE(parser.ParseDocument(std::string(kDecl) + "\n</x>\n<a></b>"));
    std::rewind(log);
    std::string written;
    char buffer[512];
    size_t count;
    while ((count = std::fread(buffer, 1, sizeof buffer, log)) > 0)
        written.append(buffer, count);
    std::fclose(log);
    EXPECT_EQ(written,
              "XMLParser: Warning (201) at line 2, col 4: Unexpected end tag 'x'.\r\n"
              "XMLParser: Error (107) at line 3, col 7: Expecting end tag 'a'. Found end tag 'b' "
              "instead.\r\n");
}

TEST(KovXmlParser, DeepNestingNeedsNoDeepStack) {
    constexpr int kDepth = 1000000;
    std::string open, close;
    for (int i = 0; i < kDepth; ++i) {
        open += "<a>";
        close += "</a>";
    }
    KovXmlParser parser;
    ASSERT_TRUE(parser.ParseDocument(std::string(kDecl) + open + "x" + close));
    int depth = 0;
    const COXParserElement* element = documentElement(parser);
    for (; asElement(element->Child(0)); element = asElement(element->Child(0)))
        ++depth;
    EXPECT_EQ(depth + 1, kDepth);
    EXPECT_EQ(textOf(element), "x");
    EXPECT_FALSE(parser.ParseDocument(std::string(kDecl) + open));
    EXPECT_EQ(codes(parser), std::vector<int>{107});
}

}  // namespace
}  // namespace kov

#include "engine/core/file.h"
#include "engine/core/xml.h"

#include "tests/engine/core/filelayer_fixture.h"

#include <cstdint>
#include <string>
#include <vector>
#include <zlib.h>

namespace {

// name[attr="quoted" attr=plain]{text}(children) - enough to compare trees at a glance.
std::string Dump(TXmlNode& node) {
    std::string out = node.GetName().CStr();
    std::string attributes;
    str name;
    str value;
    node.ResetAttributes();
    while (node.NextAttribute(name, value)) {
        bool quoted = false;
        node.GetAttribute(name.CStr(), &quoted);
        attributes += (attributes.empty() ? "" : " ") + std::string(name.CStr()) + "=" +
                      (quoted ? "\"" + std::string(value.CStr()) + "\"" : value.CStr());
    }
    if (!attributes.empty()) {
        out += "[" + attributes + "]";
    }
    if (node.GetText().Length() != 0) {
        out += "{" + std::string(node.GetText().CStr()) + "}";
    }
    std::string children;
    TXmlNode* child = nullptr;
    node.ResetChildren();
    while (node.NextChild(name, child)) {
        children += (children.empty() ? "" : " ") + Dump(*child);
    }
    if (!children.empty()) {
        out += "(" + children + ")";
    }
    return out;
}

std::string ParseAndDump(const std::string& text) {
    TXmlNode root;
    root.Parse(text.c_str());
    return Dump(root);
}

TEST(XmlReader, TokenizerRules) {
    struct Case {
        const char* what;
        std::string text;
        std::string tree;
    };
    const Case cases[] = {
        {"quoted and unquoted attributes", R"(<a x="1" y=2/>)", R"((a[x="1" y=2]))"},
        {"unquoted value before />", "<a x=1/>", "(a[x=1])"},
        {"empty value", R"(<a v=""/>)", R"((a[v=""]))"},
        {"apostrophes are not quotes", "<a k='v w'/>", "(a[k='v])"},
        {"name without a value is dropped", "<a b c=d>", "(a[c=d])"},
        {"whitespace runs collapse", "<t>\n\tone   two \r\n three\t</t>", "(t{one two three})"},
        {"quotes around text go", R"(<t>say "hello  world" now</t>)", "(t{say hello  world now})"},
        {"stray > and = are tokens", "<t>a>b=c</t>", "(t{a > b = c})"},
        {"entity never starts a tag", "<t>a &lt; b &lt;c&gt;</t>", "(t{a < b <c>})"},
        {"named and numeric entities", "<t>&amp;&quot;&apos;&#65;&#x41;&#X4a;</t>", "(t{&\"'AAJ})"},
        {"unknown entity kept", "<t>&foo; &am &#; &#x;</t>", "(t{&foo; &am &#; &#x;})"},
        {"reference ends at its digits", R"(<t>"R&#38 and more;"</t>)", "(t{R&#38 and more;})"},
        {"declaration is a child", R"(<?xml version="1.0"?><root a="b"/>)",
         R"((?xml[version="1.0"] root[a="b"]))"},
        {"comment ends at its first >", "<!-- a > b --><a/>", "{b -- >}(!-- a)"},
        {"doctype", "<!DOCTYPE html><a>t</a>", "(!DOCTYPE a{t})"},
        {"nesting", "<a><b/><c k=v>t<d/></c></a>", "(a(b c[k=v]{t}(d)))"},
        {"end tag names are not compared", "<a><b>x</a><c/></b>", "(a(b{x} c))"},
        {"stray end tag ends the document", "</x><a/>", ""},
        {"unterminated", "<a><b>text", "(a(b{text}))"},
        {"empty quoted text ends the element", R"(<t>x "" y</t><u/>)", "{y}(t{x})"},
        {"utf-8 text", "<t>caf\xC3\xA9</t>", "(t{caf\xC3\xA9})"},
        {"utf-8 references", "<t>&#195;&#169;</t>", "(t{\xC3\xA9})"},
        {"nothing", "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(ParseAndDump(c.text), c.tree);
    }
}

TEST(XmlReader, FindChildAndAttributes) {
    TXmlNode root;
    root.Parse(R"(<?xml version="1.0"?><settings><a>1</a><b x="2" x="3"/></settings>)");
    TXmlNode* settings = root.FindChild("settings");
    ASSERT_NE(settings, nullptr);
    EXPECT_EQ(root.FindChild("Settings"), nullptr); // case-sensitive
    EXPECT_STREQ(settings->FindChild("a")->GetText().CStr(), "1");
    TXmlNode* b = settings->FindChild("b");
    ASSERT_NE(b, nullptr);
    bool quoted = false;
    EXPECT_STREQ(b->GetAttribute("x", &quoted).CStr(), "2"); // the first of two
    EXPECT_TRUE(quoted);
    quoted = true;
    EXPECT_STREQ(b->GetAttribute("missing", &quoted).CStr(), "");
    EXPECT_TRUE(quoted); // untouched when absent
    // Loading again adds a second document beside the first.
    root.Parse("<settings/>");
    EXPECT_EQ(Dump(root), R"((?xml[version="1.0"] settings(a{1} b[x="2" x="3"]) settings))");
}

TEST(XmlReader, DeepNestingIsCutOff) {
    std::string text;
    for (int i = 0; i < 20000; ++i) {
        text += "<a>";
    }
    TXmlNode root;
    root.Parse(text.c_str());
    int depth = 0;
    TXmlNode* node = &root;
    while ((node = node->FindChild("a")) != nullptr) {
        ++depth;
    }
    EXPECT_EQ(depth, TXmlNode::kMaxDepth);
}

TEST(XmlUnescape, DecodesInPlace) {
    struct Case {
        const char* text;
        std::string decoded;
        bool startsWithEntity;
    };
    const Case cases[] = {
        {"&lt;b&gt;", "<b>", true},    {"a&amp;b", "a&b", false},   {"&#65;BC", "ABC", true},
        {"&#x7e;", "~", true},         {"&#321;", "A", true}, // the low 8 bits of 321
        {"&#65", "&#65", false},       {"&#65 ;", "&#65 ;", false}, {"&#x4g;", "&#x4g;", false},
        {"&bogus;", "&bogus;", false}, {"&", "&", false},           {"", "", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        str text(c.text);
        int length = -1;
        bool first = !c.startsWithEntity;
        XmlUnescape(text, length, &first);
        EXPECT_EQ(std::string(text.CStr()), c.decoded);
        EXPECT_EQ(length, static_cast<int>(c.decoded.size()));
        EXPECT_EQ(first, c.startsWithEntity);
    }
}

TEST(XmlEscape, EscapesMarkupControlAndHighBytes) {
    struct Case {
        const char* text;
        const char* escaped;
    };
    const Case cases[] = {
        {"a<b>&\"'", "a&lt;b&gt;&amp;&quot;&apos;"},
        {"tab\tline\n", "tab&#9;line&#10;"},
        {"caf\xC3\xA9", "caf&#195;&#169;"},
        {"\x7F", "\x7F"},
        {"plain", "plain"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const str escaped = XmlEscape(c.text);
        EXPECT_STREQ(escaped.CStr(), c.escaped);
        str back = escaped;
        XmlUnescape(back);
        EXPECT_STREQ(back.CStr(), c.text);
    }
}

TEST(XmlWriter, WritesIndentedElementsNeverEmpty) {
    TXmlNode lone("e");
    EXPECT_STREQ(lone.ToString().CStr(), "<e>\n</e>\n");

    TXmlNode doc("doc");
    doc.SetAttribute("name", "A&B");
    doc.SetAttribute("n", 5);
    doc.SetAttribute("name", "C"); // replaces the first
    TXmlNode* item = doc.AddChild("item");
    item->AddText(str("x<y"), 3);
    item->AddText(str("z"), 1);
    doc.AddChild("last");
    const char* expected = "<doc\n"
                           "    name=\"C\"\n"
                           "    n=\"5\">\n"
                           "    <item>\n"
                           "    x&lt;y z\n"
                           "    </item>\n"
                           "    <last>\n"
                           "    </last>\n"
                           "</doc>\n";
    EXPECT_STREQ(doc.ToString().CStr(), expected);
    EXPECT_STREQ(doc.ToString().CStr(), expected);
}

TEST(XmlWriter, ReadBackGivesTheSameTree) {
    TXmlNode root;
    root.Parse("<a x=1 y=\"two words\" z=\"caf\xC3\xA9\"><b>text &amp; more</b><c/></a>");
    TXmlNode* a = root.FindChild("a");
    ASSERT_NE(a, nullptr);
    const str written = a->ToString();
    EXPECT_NE(std::string(written.CStr()).find("    x=1\n"),
              std::string::npos); // unquoted stays so
    EXPECT_NE(std::string(written.CStr()).find("z=\"caf&#195;&#169;\""), std::string::npos);
    TXmlNode again;
    again.Parse(written.CStr());
    EXPECT_EQ(Dump(again), Dump(root));
}

TEST(XmlWriter, LongDocumentsGrowTheHint) {
    TXmlNode doc("doc");
    for (int i = 0; i < 500; ++i) {
        doc.AddChild("entry")->SetAttribute("index", i);
    }
    const str first = doc.ToString();
    EXPECT_GT(first.Length(), 4096);
    EXPECT_STREQ(doc.ToString().CStr(), first.CStr());
}

TEST(XmlTree, RemoveChildAndCursors) {
    TXmlNode root("root");
    TXmlNode* a = root.AddChild("a");
    root.AddChild("b");
    TXmlNode other("other");
    root.RemoveChild(&other); // not a child: left alone
    root.RemoveChild(a);
    EXPECT_EQ(Dump(root), "root(b)");
    str name;
    TXmlNode* child = nullptr;
    root.ResetChildren();
    ASSERT_TRUE(root.NextChild(name, child));
    EXPECT_STREQ(name.CStr(), "b");
    EXPECT_FALSE(root.NextChild(name, child));
    str value;
    EXPECT_FALSE(root.NextAttribute(name, value));
}

// "ZXML", compressed size, plain size, zlib stream.
std::string Compress(const std::string& plain, int64_t statedPlain = -1) {
    uLongf size = compressBound(plain.size());
    std::string packed(size, '\0');
    compress(reinterpret_cast<Bytef*>(packed.data()), &size,
             reinterpret_cast<const Bytef*>(plain.data()), plain.size());
    packed.resize(size);
    std::string block = "ZXML";
    const uint32_t fields[2] = {
        static_cast<uint32_t>(size),
        static_cast<uint32_t>(statedPlain < 0 ? plain.size() : statedPlain)};
    for (uint32_t field : fields) {
        for (int shift = 0; shift < 32; shift += 8) {
            block += static_cast<char>((field >> shift) & 0xFF);
        }
    }
    return block + packed;
}

using XmlFileTest = FileLayerTest;

TEST_F(XmlFileTest, CompressedAndPlainFilesLoadAlike) {
    const std::string document =
        "<?xml version=\"1.0\"?>\n<display mode=\"window\"><w>800</w></display>";
    mDir.Write("plain.xml", document);
    mDir.Write("packed.xml", Compress(document));
    TXmlNode plain;
    TXmlNode packed;
    EXPECT_TRUE(plain.LoadFile("::plain.xml"));
    EXPECT_TRUE(packed.LoadFile("::packed.xml"));
    EXPECT_EQ(Dump(packed), R"((?xml[version="1.0"] display[mode="window"](w{800})))");
    EXPECT_EQ(Dump(plain), Dump(packed));

    TXmlNode missing;
    EXPECT_FALSE(missing.LoadFile("::missing.xml"));
    EXPECT_EQ(Dump(missing), "");

    const std::string block = Compress(document);
    TXmlNode inMemory;
    EXPECT_TRUE(inMemory.Parse(block.data(), block.size()));
    EXPECT_EQ(Dump(inMemory), Dump(packed));
}

TEST_F(XmlFileTest, WrittenTreeRoundTripsThroughAFile) {
    TXmlNode doc("prefs");
    doc.AddChild("user")->SetAttribute("name", "Ann \"A\" <1>");
    const str text = doc.ToString();
    SetFolderRoots(str(Full("").c_str()), str(), str());
    TFile* out = FileOpen("user:prefs.xml", kModeWriteBinary);
    ASSERT_NE(out, nullptr);
    FileWrite(out, text.CStr(), text.Length());
    FileClose(out);
    TXmlNode back;
    ASSERT_TRUE(back.LoadFile("user:prefs.xml"));
    EXPECT_STREQ(back.FindChild("prefs")->FindChild("user")->GetAttribute("name").CStr(),
                 "Ann \"A\" <1>");
}

TEST(XmlCompressed, DamagedBlocksFailCleanly) {
    const std::string document = "<a><b/><c/></a>";
    const std::string good = Compress(document);
    std::string corrupt = good;
    corrupt[14] = static_cast<char>(corrupt[14] ^ 0x55);
    corrupt[15] = static_cast<char>(corrupt[15] ^ 0x55);
    std::string lying = good;
    lying[4] = static_cast<char>(lying[4] + 1); // one byte more than the block holds
    struct Case {
        const char* what;
        std::string block;
        bool loads;
        std::string tree;
    };
    const Case cases[] = {
        {"sound", good, true, "(a(b c))"},
        {"plain size too small", Compress(document, 8), true, "(a(b))"},
        {"plain size zero", Compress(document, 0), true, ""},
        {"compressed size past the end", lying, false, ""},
        {"cut short", good.substr(0, good.size() - 3), false, ""},
        {"corrupt stream", corrupt, false, ""},
        {"absurd plain size", Compress(document, 0xFFFFFFF0u), false, ""},
        {"header only", good.substr(0, 11), false, ""},
        {"not zxml", "ZXMz" + good.substr(4), false, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TXmlNode root;
        EXPECT_EQ(root.LoadCompressed(c.block.data(), c.block.size()), c.loads);
        EXPECT_EQ(Dump(root), c.tree);
    }
}

} // namespace

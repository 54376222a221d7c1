#include "engine/core/xmlcheck.h"

#include "engine/core/log.h"
#include "tests/fixtures/tempdir.h"
#include "tests/fixtures/testpaths.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

namespace {

std::string Check(const std::string& text) {
    TXmlFault fault;
    if (XmlCheckWellFormed(text.data(), text.size(), &fault)) {
        return "ok";
    }
    return std::string(fault.mMessage.CStr()) + " @" + std::to_string(fault.mLine) + ":" +
           std::to_string(fault.mColumn);
}

TEST(XmlCheck, FindsTheFirstFaultAndItsPosition) {
    struct TCase {
        const char* text;
        const char* expected;
    };
    const TCase cases[] = {
        {"<?xml version=\"1.0\"?>\n<!-- c -->\n<a x='1' y=\"&amp;&#65;&#x42;\"><b/>t&lt;</a>\n",
         "ok"},
        {"\xEF\xBB\xBF<a><![CDATA[<&]]></a>", "ok"},
        {"<!DOCTYPE a [<!ENTITY e \"x\">]><a>&e;</a>", "ok"},
        {"", "no root element @1:1"},
        {"<a>\n<b></a>", "end tag </a> does not match <b> @2:4"},
        {"<a>\n  <b>", "element <b> is not closed @2:6"},
        {"</a>", "end tag </a> without a start tag @1:1"},
        {"<a x=1/>", "attribute value not quoted @1:6"},
        {"<a x='1/>", "attribute value not closed @1:6"},
        {"<a x='<'/>", "'<' in an attribute value @1:7"},
        {"<a x/>", "attribute 'x' without a value @1:5"},
        {"<a x='1'y='2'/>", "no space before attribute @1:9"},
        {"<a x='1' x='2'/>", "attribute 'x' given twice @1:10"},
        {"<a>fish & chips</a>", "'&' that starts no entity @1:9"},
        {"<a>&#x;</a>", "bad character reference @1:4"},
        {"<a><!-- open</a>", "comment not closed @1:4"},
        {"<a><![CDATA[x</a>", "CDATA section not closed @1:4"},
        {"<a>< b</a>", "'<' that starts no tag @1:4"},
        {"<a></a><b/>", "element <b> after the root element @1:8"},
        {"<a/>x", "text outside the root element @1:5"},
        {"<a", "tag <a> not closed @1:1"},
        {"<a></a", "end tag not closed @1:4"},
    };
    for (const TCase& c : cases) {
        EXPECT_EQ(Check(c.text), c.expected) << c.text;
    }
}

// The demo's own files must not be reported.
TEST(XmlCheck, TheShippedSettingsAndStringsAreWellFormed) {
    for (const char* name : {"assets/settings.xml", "assets/strings.xml"}) {
        std::ifstream file(testing_fixtures::SourceDir() / name, std::ios::binary);
        std::stringstream text;
        text << file.rdbuf();
        ASSERT_FALSE(text.str().empty()) << name;
        EXPECT_EQ(Check(text.str()), "ok") << name;
    }
}

TEST(XmlCheck, OneLogLineNamesTheFileTheFaultAndThePosition) {
    testing_fixtures::TempDir logs;
    SetLogFolder(logs.Path().c_str());
    const std::string damaged = "<Workbook>\n<Row><Cell>x</Row>\n</Workbook>";
    EXPECT_FALSE(XmlLogIfMalformed("strings.xml", damaged.data(), damaged.size()));
    EXPECT_TRUE(XmlLogIfMalformed("strings.xml", "<a/>", 4));
    SetLogFolder("");
    const std::string log = logs.Read("logfile.txt");
    EXPECT_NE(log.find(": XML file strings.xml does not parse: end tag </Row> does not match "
                       "<Cell> at line 2, column 13\r\n"),
              std::string::npos)
        << log;
    EXPECT_EQ(log.find("does not parse", log.find("does not parse") + 1), std::string::npos);
}

} // namespace

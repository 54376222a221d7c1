#include "engine/ui/stringtable.h"

#include "engine/core/knownfiles.h"
#include "engine/core/log.h"
#include "tests/fixtures/tempdir.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <string>
#include <vector>

namespace {

// String files are read through the file layer; memory files stand in for them.
class TStringTableTest : public ::testing::Test {
protected:
    void TearDown() override {
        for (const std::string& name : mNames) {
            RegisterMemoryFile(name.c_str(), nullptr, 0);
        }
    }

    void File(const std::string& name, const std::string& bytes) {
        mFiles.push_back(bytes);
        mNames.push_back(name);
        RegisterMemoryFile(name.c_str(), mFiles.back().data(),
                           static_cast<unsigned>(mFiles.back().size()));
    }

    static std::string Row(const std::string& label, const std::string& text) {
        return "<Row ss:Height=\"12\"><Cell><Data ss:Type=\"String\">" + label +
               "</Data></Cell><Cell><Data ss:Type=\"String\">" + text + "</Data></Cell></Row>\n";
    }

    static std::string Sheet(const std::string& rows) {
        return "<?xml version=\"1.0\"?><Workbook><Table>\n" + rows + "</Table></Workbook>";
    }

    static std::string Zxml(const std::string& text) {
        uLongf size = compressBound(text.size());
        std::string packed(size, '\0');
        compress(reinterpret_cast<Bytef*>(packed.data()), &size,
                 reinterpret_cast<const Bytef*>(text.data()), text.size());
        packed.resize(size);
        std::string block = "ZXML";
        for (uint32_t value : {static_cast<uint32_t>(size), static_cast<uint32_t>(text.size())}) {
            for (int i = 0; i < 4; ++i) {
                block += static_cast<char>((value >> (8 * i)) & 0xFF);
            }
        }
        return block + packed;
    }

    TStringTable mTable;
    std::vector<std::string> mNames;
    std::vector<std::string> mFiles;
};

TEST_F(TStringTableTest, FormatsEscapes) {
    File("strings.xml",
         Sheet(Row("sure", "100%% sure") + Row("level", "Level %1%") + Row("title", "The Stage") +
               Row("six", "x %6% y") + Row("lone", "ends in %") + Row("nested", "[%title%]") +
               Row("missingref", "[%nothing%]") + Row("two", "%2%-%1%")));
    ASSERT_TRUE(mTable.Load("strings.xml"));
    struct TCase {
        const char* label;
        const char* a1;
        const char* a2;
        const char* expected;
    };
    const TCase cases[] = {
        {"sure", "", "", "100% sure"},
        {"level", "7", "", "Level 7"},
        {"level", "%title%", "", "Level The Stage"},
        {"level", "%%", "", "Level %"},
        {"level", "%nothing%", "", "#####"},
        {"level", "%x", "", "#####"},
        {"six", "", "", "#####"},
        {"lone", "", "", "ends in %"},
        {"nested", "", "", "[The Stage]"},
        {"missingref", "", "", "#####"},
        {"two", "a", "b", "b-a"},
        {"absent", "", "", "#####"},
    };
    for (const TCase& c : cases) {
        EXPECT_EQ(mTable.GetString(c.label, c.a1, c.a2), str(c.expected)) << c.label << " " << c.a1;
    }
}

TEST_F(TStringTableTest, APercentWithoutItsPairStaysLiteral) {
    testing_fixtures::TempDir logs;
    SetLogFolder(logs.Path().string().c_str());
    File("strings.xml",
         Sheet(Row("sale", "50% off") + Row("hello", "Hello %name") + Row("name", "Bob") +
               Row("twice", "a % b %% c") + Row("after", "%1% is 5%")));
    ASSERT_TRUE(mTable.Load("strings.xml"));
    const struct {
        const char* label;
        const char* expected;
        bool logged;
    } cases[] = {
        {"sale", "50% off", true},
        {"hello", "Hello %name", true},
        // The first '%' pairs with the first of "%%": the label " b " is missing; the second
        // of "%%" is then alone.
        {"twice", "#####", true},
        {"after", "x is 5%", true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(mTable.GetString(c.label, "x"), str(c.expected)) << c.label;
        const std::string log = logs.Read("logfile.txt");
        const std::string line =
            std::string("Non-matched percent (%) escape found in string ") + c.label + ", '";
        EXPECT_EQ(log.find(line) != std::string::npos, c.logged) << c.label << "\n" << log;
    }
    SetLogFolder(nullptr);
}

TEST_F(TStringTableTest, RowsCellsAndEntities) {
    File("strings.xml",
         Sheet(Row("bold", "&lt;b&gt;Hi") + "<Row><Cell><Data>onlylabel</Data></Cell></Row>\n" +
               "<Row><Cell></Cell></Row>\n" +
               "<Row><Cell><Data>three</Data></Cell><Cell><Data>second</Data></Cell>"
               "<Cell><Data>third</Data></Cell></Row>\n" +
               Row("amp", "a &amp; b &#65;")));
    ASSERT_TRUE(mTable.Load("strings.xml"));
    EXPECT_EQ(mTable.GetString("bold"), str("<b>Hi"));
    EXPECT_EQ(mTable.GetString("onlylabel"), str(""));
    EXPECT_EQ(mTable.GetString("three"), str("second"));
    EXPECT_EQ(mTable.GetString("amp"), str("a & b A"));
}

TEST_F(TStringTableTest, LoadEmptiesLoadFileAddsAndReplaces) {
    File("strings.xml", Sheet(Row("a", "first") + Row("b", "kept")));
    File("strings_more.xml", Zxml(Sheet(Row("a", "second") + Row("c", "new"))));
    ASSERT_TRUE(mTable.Load("strings.xml"));
    ASSERT_TRUE(mTable.LoadFile("strings_more.xml"));
    EXPECT_EQ(mTable.GetString("a"), str("second"));
    EXPECT_EQ(mTable.GetString("b"), str("kept"));
    EXPECT_EQ(mTable.GetString("c"), str("new"));

    EXPECT_FALSE(mTable.Load("missing.xml"));
    EXPECT_EQ(mTable.GetString("b"), str("#####")) << "emptied before the failed read";
    EXPECT_FALSE(mTable.LoadFile("missing.xml"));

    ASSERT_TRUE(mTable.Load("strings_more.xml"));
    EXPECT_EQ(mTable.GetString("b"), str("#####"));
    mTable.Clear();
    EXPECT_EQ(mTable.GetString("c"), str("#####"));
}

TEST_F(TStringTableTest, DamagedCompressedFileAddsNothing) {
    std::string block = Zxml(Sheet(Row("a", "x")));
    block[20] = static_cast<char>(block[20] ^ 0x5A);
    block[21] = static_cast<char>(block[21] ^ 0x5A);
    File("bad.xml", block);
    File("short.xml", "ZXML\x01");
    EXPECT_TRUE(mTable.LoadFile("bad.xml"));
    EXPECT_TRUE(mTable.LoadFile("short.xml"));
    EXPECT_EQ(mTable.GetString("a"), str("#####"));
}

// The rows are still read, but the log names the file and where it broke, so that a menu full of
// "#####" can be traced; a whole file logs nothing.
TEST_F(TStringTableTest, ADamagedFileIsLoggedOnce) {
    testing_fixtures::TempDir logs;
    SetLogFolder(logs.Path().string().c_str());
    File("strings.xml", Sheet(Row("a", "x")));
    ASSERT_TRUE(mTable.Load("strings.xml"));
    File("broken.xml", Sheet(Row("b", "y") + "<Row><Cell><Data>c</Data></Row>\n"));
    ASSERT_TRUE(mTable.LoadFile("broken.xml"));
    SetLogFolder(nullptr);
    EXPECT_EQ(mTable.GetString("b"), str("y"));
    const std::string log = logs.Read("logfile.txt");
    const std::string line = "XML file broken.xml does not parse: end tag </Row> does not match "
                             "<Cell> at line 3, column 26\r\n";
    EXPECT_NE(log.find(line), std::string::npos) << log;
    EXPECT_EQ(log.find("does not parse"), log.rfind("does not parse")) << log;
}

TEST_F(TStringTableTest, FlashLabels) {
    File("one.xml", Sheet(Row("FLASH_intro", "") + Row("flash01_02", "") + Row("FLASH_end", "")));
    File("two.xml", Sheet(Row("flash01_02", "") + Row("flash7", "") + Row("flashy", "") +
                          Row("Flash01_01", "")));
    ASSERT_TRUE(mTable.Load("one.xml"));
    std::vector<str> labels;
    mTable.GetFlashLabels(&labels);
    EXPECT_EQ(labels, (std::vector<str>{"FLASH_end", "FLASH_intro"}));
    ASSERT_TRUE(mTable.Load("two.xml"));
    labels.clear();
    mTable.GetFlashLabels(&labels);
    EXPECT_EQ(labels, (std::vector<str>{"flash01_02", "flash7"}));
}

} // namespace

// State keys: how names become keys and keys names, with tables of their own so that word numbers
// are known; and the process-wide table behind GStateKey::FromString.

#include "engine/core/log.h"
#include "game/world/GStateKey.h"
#include "game/world/GStateNameTable.h"
#include "tests/fixtures/tempdir.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

namespace gstatekey_test {
namespace {

std::string Text(const str& text) {
    return text.CStr() != nullptr ? std::string(text.CStr(), text.Length()) : std::string();
}

TEST(GStateNameTableTest, WordsAreNumberedInOrderAndPackedOneByteEach) {
    GStateNameTable table;
    EXPECT_EQ(table.Encode("upgrade_1", true).GetValue(), 0x0201u) << "the first word gets 1";
    EXPECT_EQ(table.Encode("upgrade_1", true).GetValue(), 0x0201u);
    EXPECT_EQ(table.GetWordCount(), 2);
    struct TCase {
        const char* name;
        uint64_t key;
    };
    for (const TCase& c : {
             TCase{"", 0},
             TCase{"1_upgrade", 0x0102},
             // The empty middle word adds nothing: "walk" lands in the second byte.
             TCase{"upgrade__walk", 0x0301},
             TCase{"upgrade_", 0x01},
             TCase{"_upgrade", 0x01},
             TCase{"walk_walk_walk", 0x030303},
         }) {
        EXPECT_EQ(table.Encode(c.name, true).GetValue(), c.key) << c.name;
    }
    EXPECT_EQ(table.Encode(nullptr, true).GetValue(), 0u);
}

TEST(GStateNameTableTest, DecodeJoinsTheWordsOfTheKeysBytes) {
    GStateNameTable table;
    table.Encode("a_bb_ccc_dd_e", true);
    EXPECT_EQ(Text(table.Decode(GStateKey(0x0503))), "ccc_e");
    EXPECT_EQ(Text(table.Decode(GStateKey(0x0201))), "a_bb");
    EXPECT_EQ(Text(table.Decode(GStateKey(0x0300))), "_ccc") << "a zero lowest byte";
    EXPECT_EQ(Text(table.Decode(GStateKey(0x09))), "") << "a number never given";
    EXPECT_EQ(Text(table.Decode(GStateKey())), "");
}

TEST(GStateNameTableTest, WordsKeptByPointerOrCopyMatchTheSame) {
    GStateNameTable table;
    static const char kStatic[] = "show_upgrade";
    const GStateKey kept = table.Encode(kStatic, false);
    std::string temporary = "show_upgrade";
    EXPECT_EQ(table.Encode(temporary.c_str(), true), kept);
    temporary = "upgrade_hide";
    const GStateKey copied = table.Encode(temporary.c_str(), true);
    temporary.assign(temporary.size(), 'x');
    EXPECT_EQ(Text(table.Decode(copied)), "upgrade_hide") << "the word was copied";
}

TEST(GStateNameTableTest, NamesThatDoNotFitAKeyAreRefusedAndLogged) {
    testing_fixtures::TempDir logs;
    SetLogFolder(logs.Path().string().c_str());
    GStateNameTable table;
    EXPECT_EQ(table.Encode("a_b_c_d_e_f_g_h", true).GetValue(), 0x0807060504030201u);
    EXPECT_EQ(table.Encode("a_b_c_d_e_f_g_h_i", true).GetValue(), 0u);
    EXPECT_EQ(table.GetWordCount(), 8) << "nothing of a refused name is entered";
    for (int i = table.GetWordCount(); i < GStateNameTable::kMaxWords; ++i) {
        ASSERT_NE(table.Encode(("w" + std::to_string(i)).c_str(), true).GetValue(), 0u);
    }
    EXPECT_EQ(table.GetWordCount(), 255);
    EXPECT_EQ(table.Encode("a_one_more", true).GetValue(), 0u);
    EXPECT_EQ(table.Encode("w254_a", true).GetValue(), 0x01FFu) << "known words still encode";
    SetLogFolder(nullptr);
    const std::string log = logs.Read("logfile.txt");
    EXPECT_NE(log.find("State name 'a_b_c_d_e_f_g_h_i' refused"), std::string::npos) << log;
    EXPECT_NE(log.find("State name 'a_one_more' refused"), std::string::npos) << log;
}

TEST(GStateKeyTest, FromStringUsesTheProcessTable) {
    EXPECT_TRUE(GStateKey::FromString("").IsEmpty());
    const GStateKey key = GStateKey::FromString("judges_idle");
    EXPECT_FALSE(key.IsEmpty());
    EXPECT_EQ(GStateKey::FromString(str("judges_idle")), key);
    EXPECT_EQ(Text(GStateNameTable::Instance().Decode(key)), "judges_idle");
}

} // namespace
} // namespace gstatekey_test

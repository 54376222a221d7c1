// The game log: filtering, numbering, the writers modules are bound to, the CSV file as a CSV
// reader sees it, and the Lua functions.
#include "game/common/GLogManager.h"

#include "tests/game/shell/shell_fixture.h"

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace {

using manager_test::Text;

using TRow = std::vector<std::string>;

// A CSV reader as a Windows program runs one: the file read in text mode (each CR LF pair is one
// line feed), then fields split by ';' and rows by line feeds; a field in double quotes may hold
// both and doubles its quotes.
std::vector<TRow> ReadCsv(const std::string& bytes) {
    std::string text;
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (!(bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n')) {
            text += bytes[i];
        }
    }
    std::vector<TRow> rows;
    TRow row;
    std::string field;
    bool quoted = false;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted) {
            if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
                field += '"';
                ++i;
            } else if (c == '"') {
                quoted = false;
            } else {
                field += c;
            }
        } else if (c == '"' && field.empty()) {
            quoted = true;
        } else if (c == ';') {
            row.push_back(field);
            field.clear();
        } else if (c == '\n') {
            row.push_back(field);
            field.clear();
            rows.push_back(row);
            row.clear();
        } else {
            field += c;
        }
    }
    if (!field.empty() || !row.empty()) {
        row.push_back(field);
        rows.push_back(row);
    }
    return rows;
}

const TRow kHeader = {"Id",      "TimeTillStart (ms)", "MessageLevel", "ModuleId",
                      "Message", "SourceFilename",     "LineNumber",   ""};

class GameLog : public shell_test::TShellTest {
protected:
    void SetUp() override {
        TShellTest::SetUp();
        mManager = std::make_unique<GLogManager>();
    }
    void TearDown() override {
        mManager.reset();
        TShellTest::TearDown();
    }

    std::string File() const { return ReadCurrent("debug_log.csv"); }
    bool FileExists() const { return std::filesystem::exists(CurrentFolder() / "debug_log.csv"); }

    std::unique_ptr<GLogManager> mManager;
};

TEST_F(GameLog, UnboundModulesAreDiscardedButNumbered) {
    Run("a = LuaLogWrite(0, 'misc', 'one'); b = LuaLogWrite(5, 'other', 'two')");
    EXPECT_TRUE(Bool("a"));
    EXPECT_TRUE(Bool("b"));
    EXPECT_FALSE(FileExists());

    standin::AdvanceTime(250);
    Run("LuaLogSetWriter('cheats', 2); c = LuaLogWrite(1, 'cheats', 'gold +100')");
    EXPECT_TRUE(Bool("c"));
    const std::string file = File();
    EXPECT_EQ(file, "Id;TimeTillStart (ms);MessageLevel;ModuleId;Message;SourceFilename;"
                    "LineNumber;\r\n3;250;Info;cheats;gold +100;;0;\r\n");
    // Modules bound elsewhere keep out of the file.
    Run("LuaLogWrite(1, 'misc', 'three')");
    EXPECT_EQ(File(), file);
}

TEST_F(GameLog, WriterIndexesOutsideTheThreeFallBackToTheCurrentWriter) {
    for (const char* bind : {"LuaLogSetWriter('x', 3)", "LuaLogSetWriter('x', -1)"}) {
        Run(bind);
        Run("LuaLogWrite(2, 'x', 'lost')");
        EXPECT_FALSE(FileExists()) << bind;
    }
    // Binding again changes the module's one entry.
    mManager->SetModuleWriter("x", GLogManager::kCsvWriter);
    Run("LuaLogWrite(2, 'x', 'kept')");
    const std::vector<TRow> rows = ReadCsv(File());
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[1], (TRow{"3", "0", "Warning", "x", "kept", "", "0", ""}));
}

TEST_F(GameLog, LevelsOutsideTheNamesAndBelowZero) {
    mManager->SetModuleWriter("Logical", GLogManager::kCsvWriter);
    Run("low = LuaLogWrite(-1, 'Logical', 'filtered'); high = LuaLogWrite(7, 'Logical', 'seven')");
    EXPECT_TRUE(Bool("low")) << "a record filtered out still answers true";
    EXPECT_TRUE(Bool("high"));
    const std::vector<TRow> rows = ReadCsv(File());
    ASSERT_EQ(rows.size(), 2u);
    // The filtered record took no number.
    EXPECT_EQ(rows[1], (TRow{"1", "0", "", "Logical", "seven", "", "0", ""}));
    const char* const names[] = {"Debug", "Info", "Warning", "Alert", "Error", "Critical"};
    for (int level = 0; level < 6; ++level) {
        EXPECT_EQ(Text(mManager->GetLevelName(level)), names[level]);
    }
    EXPECT_EQ(Text(mManager->GetLevelName(6)), "");
    EXPECT_EQ(Text(mManager->GetLevelName(-1)), "");
}

TEST_F(GameLog, TextsThatWouldSplitARowAreQuoted) {
    mManager->SetModuleWriter("Tutorials;1", GLogManager::kCsvWriter);
    GLogRecord record;
    record.level = GLogManager::kAlert;
    record.module = "Tutorials;1";
    record.message = "say \"hi\"; then\nwait\r\nmore";
    record.sourceFile = "game/shell/GCheats.cpp";
    record.line = 42;
    EXPECT_TRUE(mManager->Write(record));
    const std::vector<TRow> rows = ReadCsv(File());
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0], kHeader);
    EXPECT_EQ(rows[1], (TRow{"1", "0", "Alert", "Tutorials;1", "say \"hi\"; then\nwait\r\nmore",
                             "game/shell/GCheats.cpp", "42", ""}));
    // Fields without those characters are written as they are.
    const std::string file = File();
    EXPECT_NE(file.find(";Alert;\"Tutorials;1\";\"say \"\"hi\"\"; then"), std::string::npos)
        << file;
    EXPECT_NE(file.find(";game/shell/GCheats.cpp;42;\r\n"), std::string::npos) << file;
}

TEST_F(GameLog, EachRunStartsTheFileAfreshAndAFailedOpenIsTriedAgain) {
    mManager->SetModuleWriter("cheats", GLogManager::kCsvWriter);
    // A folder in the file's place cannot be opened.
    std::filesystem::create_directory(CurrentFolder() / "debug_log.csv");
    Run("first = LuaLogWrite(0, 'cheats', 'one')");
    EXPECT_FALSE(Bool("first"));
    std::filesystem::remove(CurrentFolder() / "debug_log.csv");
    // The old run's file is replaced by the first row written.
    mFolder.Write("run/debug_log.csv", "old row\r\nolder row\r\n");
    Run("second = LuaLogWrite(0, 'cheats', 'two'); third = LuaLogWrite(0, 'cheats', 'three')");
    EXPECT_TRUE(Bool("second"));
    const std::vector<TRow> rows = ReadCsv(File());
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0], kHeader);
    EXPECT_EQ(rows[1][0], "2");
    EXPECT_EQ(rows[1][4], "two");
    EXPECT_EQ(rows[2][4], "three");
}

TEST_F(GameLog, ARowTheDiskRefusesAnswersFalse) {
    mManager->SetModuleWriter("cheats", GLogManager::kCsvWriter);
    // A full disk takes the open but no byte.
    std::filesystem::create_symlink("/dev/full", CurrentFolder() / "debug_log.csv");
    Run("first = LuaLogWrite(0, 'cheats', 'one'); second = LuaLogWrite(0, 'cheats', 'two')");
    EXPECT_FALSE(Bool("first"));
    EXPECT_FALSE(Bool("second"));
}

TEST_F(GameLog, TheLuaFunctionsLeaveWithTheManager) {
    mManager.reset();
    Run("gone = LuaLogWrite == nil and LuaLogSetWriter == nil");
    EXPECT_TRUE(Bool("gone"));
}

TEST_F(GameLog, TheGamesManagerIsMadeOnceAndFollowsTheWindowScript) {
    mManager.reset();
    GLogManager* manager = GetLogManager();
    Run("there = LuaLogWrite ~= nil and LuaLogSetWriter ~= nil");
    EXPECT_TRUE(Bool("there"));
    // As in the window script of a platform made anew.
    Run("LuaLogWrite = nil; LuaLogSetWriter = nil");
    EXPECT_EQ(GetLogManager(), manager);
    Run("there = LuaLogWrite ~= nil and LuaLogSetWriter ~= nil");
    EXPECT_TRUE(Bool("there"));
}

} // namespace

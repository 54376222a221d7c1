// A TScript in a temporary folder that is also HOME and the current folder, with the log written
// there so tests can read the exact lines.
#pragma once

#include "engine/core/filescan.h"
#include "engine/core/knownfiles.h"
#include "engine/core/log.h"
#include "engine/script/lua/lauxlib.h"
#include "engine/script/script.h"
#include "tests/fixtures/tempdir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

class ScriptTest : public ::testing::Test {
protected:
    ScriptTest() : mDir(true), mOldFolder(std::filesystem::current_path()) {
        std::filesystem::current_path(mDir.Path());
        ClearKnownFiles();
        std::filesystem::create_directories(mDir.Path() / "logs");
        SetLogFolder((mDir.Path() / "logs").c_str());
        mScript = std::make_unique<TScript>();
        L = mScript->GetState();
        mLogStart = mDir.Read("logs/logfile.txt").size();
    }
    ~ScriptTest() override {
        mScript.reset();
        SetLogFolder("");
        ClearKnownFiles();
        std::filesystem::current_path(mOldFolder);
    }

    // The messages logged since the fixture was set up, time stamps removed; a message with line
    // breaks spans several entries.
    std::vector<std::string> Logged() const {
        const std::string text = mDir.Read("logs/logfile.txt").substr(mLogStart);
        std::vector<std::string> lines;
        std::istringstream in(text);
        std::string line;
        while (std::getline(in, line)) {
            if (!line.empty() && line.back() == '\r') {
                line.pop_back();
            }
            // "Thu Jan  1 00:00:00 1970: " starts every logged line; continuation lines have none.
            const bool stamped = line.size() >= 26 && line[3] == ' ' && line[7] == ' ' &&
                                 line[13] == ':' && line.compare(24, 2, ": ") == 0;
            lines.push_back(stamped ? line.substr(26) : line);
        }
        return lines;
    }

    void Run(const char* text) {
        ASSERT_EQ(luaL_loadbuffer(L, text, std::strlen(text), "test"), 0) << lua_tostring(L, -1);
        ASSERT_EQ(lua_pcall(L, 0, 0, 0), 0) << lua_tostring(L, -1);
    }

    // A script file the file layer finds under its bare name, as it finds the assets.
    void WriteScript(const std::string& name, const std::string& text) {
        mDir.Write("assets/" + name, text);
        ScanFolder("assets", str());
    }

    void PushGlobal(const char* name) {
        lua_pushstring(L, name);
        lua_gettable(L, LUA_GLOBALSINDEX);
    }

    std::string GlobalText(const char* name) { return mScript->GetGlobalString(name).CStr(); }

    testing_fixtures::TempDir mDir;
    std::filesystem::path mOldFolder;
    std::unique_ptr<TScript> mScript;
    lua_State* L = nullptr;
    size_t mLogStart = 0;
};

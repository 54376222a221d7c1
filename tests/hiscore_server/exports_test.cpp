// What the built library shows to the program that loads it: its ten functions and nothing else,
// and no reference to any engine or platform symbol that the program could satisfy.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tests/fixtures/testpaths.h"

#include <cstdio>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

const std::string kLibrary = testing_fixtures::BinaryDir().string() + "/qzservlet_stub.dll";

std::vector<std::string> CommandLines(const std::string& command) {
    std::vector<std::string> lines;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) {
        ADD_FAILURE() << "cannot run " << command;
        return lines;
    }
    char buffer[4096];
    while (std::fgets(buffer, sizeof buffer, pipe)) {
        std::string line(buffer);
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) {
            line.pop_back();
        }
        lines.push_back(line);
    }
    EXPECT_EQ(::pclose(pipe), 0) << command;
    return lines;
}

// The symbol names of `nm -D` output lines ("address type name" or "type name").
std::set<std::string> SymbolNames(const std::string& options) {
    std::set<std::string> names;
    for (const std::string& line : CommandLines("nm -D " + options + " '" + kLibrary + "'")) {
        std::istringstream fields(line);
        std::string field;
        std::string last;
        while (fields >> field) {
            last = field;
        }
        if (!last.empty()) {
            names.insert(last.substr(0, last.find('@')));
        }
    }
    return names;
}

TEST(HiscoreServerExports, ExactlyTheTenFunctionsAreExported) {
    EXPECT_THAT(SymbolNames("--defined-only"),
                ::testing::UnorderedElementsAre(
                    "HiscoreServer_CreateLocalServer", "HiscoreServer_FreeLocalServer",
                    "HiscoreServer_LoadServerDefFile", "HiscoreServer_SetServerInfo",
                    "HiscoreServer_RequestCategoryInformation", "HiscoreServer_RequestScores",
                    "HiscoreServer_SubmitScore", "HiscoreServer_SubmitMedals",
                    "HiscoreServer_GetStatus", "HiscoreServer_GetContents"));
}

bool Contains(const std::string& text, const char* part) {
    return text.find(part) != std::string::npos;
}

TEST(HiscoreServerExports, NothingIsTakenFromTheLoadingProgram) {
    // Engine classes and functions, and the platform stand-ins, must all be inside the library:
    // mangled engine names, the clock, the log, the file layer and the Win32 stand-ins.
    const std::set<std::string> ourFunctions = {
        "timeGetTime", "timeBeginPeriod", "timeEndPeriod", "Log",        "SetLogFolder",
        "CreateFileA", "CloseHandle",     "MapViewOfFile", "_access",    "_mkdir",
        "FileOpen",    "ResolveName",     "XmlEscape",     "EncodeUtf8", "GetSetting"};
    for (const std::string& name : SymbolNames("--undefined-only")) {
        EXPECT_EQ(ourFunctions.count(name), 0u) << name;
        for (const char* part : {"3str", "TXmlNode", "TFile", "TGetChar", "TMemoryFile",
                                 "TFlatFileMap", "THiscore", "standin", "crt"}) {
            EXPECT_FALSE(Contains(name, part)) << name;
        }
    }
}

TEST(HiscoreServerExports, NeedsNoLibraryOfOurs) {
    const std::vector<std::string> system = {
        "libz.so",    "libstdc++.so", "libm.so",  "libgcc_s.so",        "libc.so",
        "libasan.so", "libubsan.so",  "libdl.so", "ld-linux-x86-64.so", "libpthread.so"};
    int zlib = 0;
    for (const std::string& line : CommandLines("readelf -d '" + kLibrary + "'")) {
        const auto open = line.find("Shared library: [");
        if (open == std::string::npos) {
            continue;
        }
        const std::string name = line.substr(open + 17, line.find(']', open) - open - 17);
        bool known = false;
        for (const std::string& prefix : system) {
            known = known || name.rfind(prefix, 0) == 0;
        }
        EXPECT_TRUE(known) << name;
        zlib += name.rfind("libz.so", 0) == 0 ? 1 : 0;
    }
    EXPECT_EQ(zlib, 1) << "links zlib";
}

} // namespace

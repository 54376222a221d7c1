// Fuzzes the local hiscore server's readers of serverdef.txt and serverdata.txt. The input is
// split at its first NUL byte into the two files; the server configures itself from them, answers
// a score list, stores one submission, and a second server reading the data file it wrote must
// serve the same list.
#include "engine/core/xml.h"
#include "hiscore_server/hiscoreserver.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace {

void WriteFile(const char* name, const uint8_t* data, size_t size) {
    FILE* file = std::fopen(name, "wb");
    if (!file) {
        std::abort();
    }
    if (size > 0 && std::fwrite(data, 1, size, file) != size) {
        std::abort();
    }
    std::fclose(file);
}

struct TTarget {
    std::string game;
    std::string key;
    std::string mode;
};

// The game, key and first mode the server should have taken from serverdef.txt.
TTarget TargetOf() {
    TTarget target;
    TXmlNode root;
    root.LoadFile("::./serverdef.txt");
    if (TXmlNode* game = root.FindChild("game")) {
        target.game = game->GetAttribute("name").CStr();
        target.key = game->GetAttribute("key").CStr();
    }
    if (TXmlNode* mode = root.FindChild("gamemode")) {
        target.mode = mode->GetAttribute("name").CStr();
    }
    return target;
}

std::string ScoreList(void* server, const TTarget& target, const char* table) {
    HiscoreServer_RequestScores(server, target.game.c_str(), target.mode.c_str(), table, "p");
    return HiscoreServer_GetContents(server);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // The server works in the current folder: give it a private one (under $TMPDIR when set).
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/fuzz-hiscore-XXXXXX";
    if (!::mkdtemp(pattern.data()) || ::chdir(pattern.c_str()) != 0) {
        std::abort();
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const uint8_t* split = static_cast<const uint8_t*>(std::memchr(data, 0, size));
    const size_t defSize = split ? static_cast<size_t>(split - data) : size;
    WriteFile("serverdef.txt", data, defSize);
    if (split) {
        WriteFile("serverdata.txt", split + 1, size - defSize - 1);
    } else {
        std::remove("serverdata.txt");
    }

    const TTarget target = TargetOf();
    void* server = HiscoreServer_CreateLocalServer();
    HiscoreServer_LoadServerDefFile(server);
    HiscoreServer_RequestCategoryInformation(server);
    ScoreList(server, target, nullptr);
    HiscoreServer_SubmitScore(server, target.game.c_str(), target.mode.c_str(), "p", "", "u", "v",
                              "d", 42, target.key.c_str());
    const bool stored = std::strstr(HiscoreServer_GetContents(server), "score id=\"123\"");
    HiscoreServer_SubmitMedals(server, target.game.c_str(), target.mode.c_str(), "p", "x", "",
                               target.key.c_str());

    // Every table the definition names serves the same rows, so any one of them will do.
    TXmlNode definition;
    definition.LoadFile("::./serverdef.txt");
    TXmlNode* table = definition.FindChild("table");
    const std::string tableName = table ? table->GetAttribute("name").CStr() : "";
    if (stored && table) {
        void* reader = HiscoreServer_CreateLocalServer();
        HiscoreServer_LoadServerDefFile(reader);
        if (ScoreList(server, target, tableName.c_str()) !=
            ScoreList(reader, target, tableName.c_str())) {
            std::abort();
        }
        HiscoreServer_FreeLocalServer(reader);
    }
    HiscoreServer_FreeLocalServer(server);
    return 0;
}

// Builds a stage file ("LevelData", "Objects", "PreloadObjectsSection") and a game-data file
// ("Upgrades") from the bytes: tables of every shape over the keys the game reads, with numbers,
// strings and booleans where it expects others. The stage's "GetPreloadingXml" and the progress's
// "GetUpgradeIndex" answer from the bytes too. The game data reads its file, a level is preloaded
// and one is loaded for play, its upgrade phase ends, it begins and it is destroyed; ASan watches
// every step.
#include "engine/core/knownfiles.h"
#include "engine/script/script.h"
#include "engine/system/platform.h"
#include "engine/system/win32platform.h"
#include "engine/ui/windowmanager.h"
#include "engine/ui/windowsystem.h"
#include "game/world/GGameData.h"
#include "game/world/GLevel.h"
#include "game/world/GLogicalManager.h"
#include "game/world/GObjectFactory.h"
#include "game/world/GPlayerInfo.h"
#include "platform/win32/standin.h"
#include "platform/win32/windows.h"
#include "tests/fuzz/fuzz_bytes.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

namespace {

// The keys the level and the game data read, the names they look each other up by, and a few
// more.
const char* const kWords[] = {
    "LevelBaseTypes",
    "base_type_extension",
    "BaseData",
    "BaseType",
    "level",
    "goal",
    "expert",
    "background",
    "level_types",
    "included",
    "base_type",
    "class_name",
    "use_scene_control",
    "name",
    "pos_x",
    "pos_y",
    "deltaZ",
    "GGameObject",
    "booth",
    "lamp",
    "girl",
    "types",
    "data",
    "powers",
    "objects",
    "touchup",
    "price",
    "upgrade_level",
    "index",
    "value",
    "recommended",
    "girl_base_type",
    "upgr_student_3",
    "upgr_student_3_1",
    "speed",
    "xml_anim",
    "scenes",
    "",
};

class TLuaTextBuilder {
public:
    explicit TLuaTextBuilder(TFuzzBytes& bytes) : mBytes(bytes) {}

    std::string Word() { return kWords[mBytes.Byte() % std::size(kWords)]; }

    std::string Quoted(const std::string& text) { return "'" + text + "'"; }

    std::string Number() {
        switch (mBytes.Byte() % 5) {
        case 0:
            return LuaNumberLiteral(mBytes.Double());
        case 1:
            return std::to_string(static_cast<int8_t>(mBytes.Byte()));
        default:
            return std::to_string(mBytes.Byte() % 8);
        }
    }

    std::string Key() {
        switch (mBytes.Byte() % 4) {
        case 0:
            return "[" + Number() + "]";
        default:
            return "[" + Quoted(Word()) + "]";
        }
    }

    std::string Value(int depth) {
        switch (mBytes.Byte() % 6) {
        case 0:
            return Number();
        case 1:
            return mBytes.Byte() & 1 ? "true" : "false";
        case 2:
            return Quoted(Word());
        default:
            return depth > 0 ? Table(depth - 1) : Number();
        }
    }

    std::string Table(int depth) {
        std::string text = "{";
        for (int n = mBytes.Byte() % 8; n > 0 && !mBytes.Empty(); --n) {
            text += Key() + "=" + Value(depth) + ",";
        }
        return text + "}";
    }

private:
    TFuzzBytes& mBytes;
};

void ServeFile(const char* name, std::string& storage, const std::string& text) {
    storage = text;
    RegisterMemoryFile(name, storage.data(), static_cast<unsigned>(storage.size()));
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/) {
    setenv("SDL_VIDEODRIVER", "dummy", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    standin::SetFakeTime(1000);
    RegisterWindowSystem();
    static char commandLine[1] = "";
    auto* record =
        new TWin32Platform(GetModuleHandleA(nullptr), nullptr, commandLine, SW_SHOWNORMAL, true);
    new TPlatform(record);
    TScript* script = GetWindowManager() != nullptr ? GetWindowManager()->GetScript() : nullptr;
    if (script == nullptr) {
        std::abort();
    }
    // What the world asks of the main script besides the progress.
    script->DoLuaString("function HidePowerButtons() end");
    GPlayerInfo::Instance();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static std::string stageText;
    static std::string gameDataText;
    TFuzzBytes bytes(data, size);
    TLuaTextBuilder builder(bytes);

    // The progress's answers and the preload list come first, so every input sets both.
    TScript* main = GetWindowManager()->GetScript();
    main->DoLuaString(("gIndex = " + builder.Table(1) +
                       " function GetUpgradeIndex(object, level) local n = gIndex[object] "
                       "return type(n) == 'number' and n or 0 end")
                          .c_str());
    const std::string preload = builder.Table(0);
    const int levelNumber = bytes.Byte() % 30;

    ServeFile(GGameData::kScriptFile, gameDataText, "Upgrades = " + builder.Table(3));
    ServeFile(GLevel::kStageFile, stageText,
              "local answers = " + preload +
                  " local at = 0 function GetPreloadingXml(name, zero) at = at + 1 local a = "
                  "answers[at] if type(a) == 'string' then return a end return '' end "
                  "function LevelTimerFunc() end PreloadObjectsSection = " +
                  builder.Table(1) + " LevelData = " + builder.Table(3) +
                  " Objects = " + builder.Table(3));

    GLogicalManager& manager = GLogicalManager::Instance();
    {
        GGameData gameData;
        manager.SetGameData(&gameData);
        gameData.Load();
        delete GObjectFactory::Instance().CreateLevel(levelNumber, 1, true);
        manager.ResetLevel();
        if (gameData.StartLevel(levelNumber, 1)) {
            GLevel* level = gameData.GetLevel();
            level->EndUpgradePhase();
            level->Begin();
        }
        gameData.DestroyLevel();
        manager.SetGameData(nullptr);
    }
    GObjectFactory::Instance().Clear(false, false);
    manager.SetGameState(0);
    main->DoLuaString("gIndex = nil");
    lua_setgcthreshold(main->GetState(), 0);
    return 0;
}

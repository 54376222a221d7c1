// The game's own diagnostic log, apart from the engine's log file. Game code hands records to the
// one manager, which filters them by level, numbers them, stamps them with the milliseconds since
// it was made and gives each to the writer its module is bound to: 0 discards (the default), 1 is
// the debugger writer, 2 appends to "debug_log.csv". The manager publishes "LuaLogWrite" and
// "LuaLogSetWriter" in the window script while it lives. Main thread only.
#pragma once

#include "engine/core/str.h"

#include <cstdint>
#include <memory>
#include <vector>

struct lua_State;
class GBaseLogWriter;

// One line of the log. Game code fills level, module, message, source file and line and leaves
// id and time at 0; the manager sets them.
struct GLogRecord {
    uint32_t id = 0;
    // Milliseconds since the manager was made.
    uint32_t time = 0;
    // GLogManager::kDebug to kCritical.
    int32_t level = 0;
    str module;
    str message;
    // As the compiler names the caller's file; empty from Lua.
    str sourceFile;
    int32_t line = 0;
};

class GLogManager {
public:
    enum : int32_t { kDebug, kInfo, kWarning, kAlert, kError, kCritical };
    enum : int32_t { kNullWriter, kDebugWriter, kCsvWriter };

    // Makes the three writers and publishes the Lua functions in the window script, when there is
    // one.
    GLogManager();
    // Withdraws the Lua functions from the window script it published them in, while that still
    // exists.
    ~GLogManager();
    GLogManager(const GLogManager&) = delete;
    GLogManager& operator=(const GLogManager&) = delete;

    // Numbers, stamps and writes the record if accepted; a record filtered out answers true,
    // otherwise the writer's answer.
    bool Write(GLogRecord record);
    bool Accepts(const GLogRecord& record) const;
    // Binds the module to a writer; an index outside 0 to 2 is kept, but its records go to the
    // current writer.
    void SetModuleWriter(const str& module, int writer);
    // "Debug" to "Critical"; "" for a level outside 0 to 5.
    str GetLevelName(int level) const;

    // "LuaLogWrite" (level, module, message): a record without source file and line.
    bool LuaLogWrite(int level, str module, str message);

    // Publishes the Lua functions again when the window script lacks them: one made after the
    // manager (by a platform made anew) starts without them.
    void PublishIfMissing();

private:
    struct GModuleEntry {
        str module;
        int32_t writer;
        int32_t minimumLevel;
    };

    int32_t mCurrentWriter = kNullWriter;
    int32_t mDefaultMinimumLevel = kDebug;
    uint32_t mStartTime;
    uint32_t mRecordCount = 0;
    std::vector<GModuleEntry> mModules;
    std::vector<std::unique_ptr<GBaseLogWriter>> mWriters;
    std::vector<str> mLevelNames;
    // The state the Lua functions were published in; null when there was no window script.
    lua_State* mScriptState = nullptr;
};

// The manager of the game, made on first use and destroyed when the process ends; its Lua functions
// are in the window script once this returns.
GLogManager* GetLogManager();

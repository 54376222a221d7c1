#include "game/common/GLogManager.h"

#include "engine/system/platform.h"
#include "game/common/GLogManagerScript.h"
#include "game/common/GLogWriter.h"
#include "game/common/WindowScriptState.h"

GLogManager::GLogManager() : mStartTime(TPlatform::GetTime()) {
    mWriters.push_back(std::make_unique<GNullLogWriter>());
    mWriters.push_back(std::make_unique<GDebugLogWriter>());
    mWriters.push_back(std::make_unique<GCsvLogWriter>(*this, "debug_log.csv"));
    for (const char* name : {"Debug", "Info", "Warning", "Alert", "Error", "Critical"}) {
        mLevelNames.emplace_back(name);
    }
    mScriptState = PublishLogManager(this);
}

GLogManager::~GLogManager() {
    WithdrawFromWindowScript(this, mScriptState);
}

bool GLogManager::Accepts(const GLogRecord& record) const {
    for (const GModuleEntry& entry : mModules) {
        if (entry.module == record.module) {
            return record.level >= entry.minimumLevel;
        }
    }
    return record.level >= mDefaultMinimumLevel;
}

bool GLogManager::Write(GLogRecord record) {
    if (!Accepts(record)) {
        return true;
    }
    GBaseLogWriter* writer = mWriters[static_cast<size_t>(mCurrentWriter)].get();
    for (const GModuleEntry& entry : mModules) {
        if (entry.module == record.module && entry.writer >= 0 &&
            entry.writer < static_cast<int32_t>(mWriters.size())) {
            writer = mWriters[static_cast<size_t>(entry.writer)].get();
            break;
        }
    }
    record.id = ++mRecordCount;
    record.time = TPlatform::GetInstance() != nullptr ? TPlatform::GetTime() - mStartTime : 0;
    return writer->Write(record);
}

void GLogManager::SetModuleWriter(const str& module, int writer) {
    for (GModuleEntry& entry : mModules) {
        if (entry.module == module) {
            entry.writer = writer;
            return;
        }
    }
    mModules.push_back(GModuleEntry{module, writer, mDefaultMinimumLevel});
}

str GLogManager::GetLevelName(int level) const {
    if (level < 0 || level >= static_cast<int>(mLevelNames.size())) {
        return str();
    }
    return mLevelNames[static_cast<size_t>(level)];
}

bool GLogManager::LuaLogWrite(int level, str module, str message) {
    GLogRecord record;
    record.level = level;
    record.module = module;
    record.message = message;
    return Write(record);
}

void GLogManager::PublishIfMissing() {
    lua_State* state = WindowScriptState();
    if (state != nullptr && !IsLogManagerPublished(state)) {
        mScriptState = PublishLogManager(this);
    }
}

GLogManager* GetLogManager() {
    static GLogManager manager;
    manager.PublishIfMissing();
    return &manager;
}

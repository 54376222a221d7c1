#include "game/world/GStatisticsScript.h"

#include "engine/script/luabinding.h"
#include "game/world/GStatistics.h"

void PublishStatistics(lua_State* state, GStatistics* statistics) {
    LuaPublish(state, kStatisticsProbe, statistics, &GStatistics::CPP_StatisticOnGameSessionStart);
    LuaPublish(state, "CPP_StatisticOnGameStart", statistics,
               &GStatistics::CPP_StatisticOnGameStart);
    LuaPublish(state, "CPP_StatisticOnSessionEnd", statistics, &GStatistics::EndSessionFromScript);
    LuaPublish(state, "CPP_StatisticOnPause", statistics, &GStatistics::CPP_StatisticOnPause);
}

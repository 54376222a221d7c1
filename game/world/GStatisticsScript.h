// The statistics' functions in the window script: "CPP_StatisticOnGameSessionStart",
// "CPP_StatisticOnGameStart", "CPP_StatisticOnSessionEnd" and "CPP_StatisticOnPause". Main thread
// only.
#pragma once

struct lua_State;
class GStatistics;

// A global the published functions include: its absence tells that they are missing.
inline constexpr char kStatisticsProbe[] = "CPP_StatisticOnGameSessionStart";

void PublishStatistics(lua_State* state, GStatistics* statistics);

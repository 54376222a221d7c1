// Values the units of the game world and the shell share.
#pragma once

#include <cstdint>
#include <limits>

inline constexpr const char* kErrorLogFile = "user:errors.log";
// Stands for "no limit" where a count or a time has none.
inline constexpr int32_t kNoLimit = std::numeric_limits<int32_t>::max();
inline constexpr const char* kAlignmentNames[] = {"old", "delta_left", "left", "center"};
inline constexpr const char* kStoryModeFolder = "scripts/levels/story_mode/";
inline constexpr const char* kEndlessModeFolder = "scripts/levels/endless_mode/";
// Appended to sound-effect file names: their volume category.
inline constexpr const char* kSoundEffectOption = "?group=1000";

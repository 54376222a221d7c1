// Helpers for the particle system, script and renderer tests: systems with the shared generator
// at a known seed, Lua run in their state, records read back, compiled statements described as
// text, and the log in a temporary folder.
#pragma once

#include "engine/core/knownfiles.h"
#include "engine/core/log.h"
#include "engine/core/random.h"
#include "engine/media/particlecollection.h"
#include "engine/media/particlefunctions.h"
#include "engine/media/particlesystem.h"
#include "engine/script/script.h"
#include "tests/engine/media/particle_fixture.h"
#include "tests/fixtures/tempdir.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace particle_system_test {

inline constexpr uint32_t kSeed = 20260;

// A new system with the generator seeded with kSeed; with a script, loaded with it.
inline std::unique_ptr<TLuaParticleSystem> MakeSystem(const std::string& script = "",
                                                      TParticleRenderer* renderer = nullptr) {
    auto system = std::make_unique<TLuaParticleSystem>(renderer);
    ParticleRandom()->Seed(kSeed);
    if (!script.empty()) {
        EXPECT_TRUE(system->Load(script.c_str()));
    }
    return system;
}

inline void RunLua(TLuaParticleSystem& system, const std::string& text) {
    system.GetScript()->DoLuaString(text.c_str());
}

// A Lua expression's value as a number (nil reads 0).
inline double Number(TLuaParticleSystem& system, const std::string& expression) {
    RunLua(system, "gTestValue = " + expression);
    return system.GetScript()->GetGlobalNumber("gTestValue");
}

// The floats of a record.
inline std::vector<float> Floats(const TLuaParticleSystem& system, int32_t index) {
    const float* record = system.GetCollection().Record(index);
    return std::vector<float>(record, record + system.GetFloatsPerParticle());
}

// Record indices of the live list in order (newest first) or of the free list.
inline std::vector<int32_t> LiveRecords(const TParticleCollection& particles) {
    std::vector<int32_t> records;
    for (int32_t i = particles.FirstLive(); i != TParticleCollection::kNone;
         i = particles.Next(i)) {
        records.push_back(i);
    }
    return records;
}
inline std::vector<int32_t> FreeRecords(const TParticleCollection& particles) {
    std::vector<int32_t> records;
    for (int32_t i = particles.FirstFree(); i != TParticleCollection::kNone;
         i = particles.Next(i)) {
        records.push_back(i);
    }
    return records;
}

// A statement as text: a constant as its floats "(10,20)", a member read as "m<offset>:<size>"
// from its size bytes, a node as "<class>/<argc>[<argument sizes>]".
inline std::string Describe(const TParticleStatement& statement) {
    TParticleFunction* function = statement.function.get();
    if (function == nullptr) {
        return "null";
    }
    if (dynamic_cast<FGetParticleParam*>(function) != nullptr) {
        return "m" + std::to_string(statement.argSizes[0]) + ":" +
               std::to_string(statement.argSizes[1]);
    }
    const bool constant = dynamic_cast<FPush<float>*>(function) != nullptr ||
                          dynamic_cast<FPush<TVec2>*>(function) != nullptr ||
                          dynamic_cast<FPush<TVec3>*>(function) != nullptr ||
                          dynamic_cast<FPush<TVec4>*>(function) != nullptr;
    if (constant) {
        particle_test::TRecord record({}, {});
        particle_test::TArgs args({});
        EXPECT_TRUE(function->Evaluate(&record.context, &args.frame));
        std::string text = "(";
        for (float value : args.Result()) {
            text += (text.size() > 1 ? "," : "") +
                    std::string(str::FromFormat("%g", static_cast<double>(value)).CStr());
        }
        return text + ")";
    }
    std::string text =
        std::string(function->GetClassName()) + "/" + std::to_string(statement.argc) + "[";
    for (int i = 0; i < statement.argc && i < 11; ++i) {
        text += (i > 0 ? "," : "") + std::to_string(statement.argSizes[i]);
    }
    return text + "]";
}

inline std::vector<std::string> Describe(std::span<const TParticleStatement> statements) {
    std::vector<std::string> texts;
    for (const TParticleStatement& statement : statements) {
        texts.push_back(Describe(statement));
    }
    return texts;
}

// The last n statements of a stream, described.
inline std::vector<std::string> Tail(std::span<const TParticleStatement> statements, size_t n) {
    return Describe(statements.subspan(statements.size() >= n ? statements.size() - n : 0));
}

// The log in a folder of the test's own, and script files served from memory.
class TParticleSystemTest : public ::testing::Test {
protected:
    void SetUp() override { SetLogFolder(mLogs.Path().string().c_str()); }

    void TearDown() override {
        for (const auto& file : mFiles) {
            RegisterMemoryFile(file.first.c_str(), nullptr, 0);
        }
        mFiles.clear();
        SetLogFolder(nullptr);
    }

    void AddFile(const std::string& name, const std::string& text) {
        std::string& stored = mFiles[name];
        stored = text;
        stored.reserve(1);
        RegisterMemoryFile(name.c_str(), stored.data(), static_cast<unsigned>(stored.size()));
    }

    std::string LogText() const { return mLogs.Read("logfile.txt"); }

    testing_fixtures::TempDir mLogs;
    std::map<std::string, std::string> mFiles;
};

} // namespace particle_system_test

#include "game/shell/GCheatManager.h"

#include "game/common/GLogManager.h"

namespace {

const char kModule[] = "cheats";

void LogCheats(const str& message, int line) {
    GLogRecord record;
    record.level = GLogManager::kDebug;
    record.module = kModule;
    record.message = message;
    record.sourceFile = ".\\GCheats.cpp";
    record.line = line;
    GetLogManager()->Write(record);
}

} // namespace

void GBaseCheat::LogRun(const char* className, int line) {
    LogCheats(str(className) + "::RunCheat()", line);
}

GCheatManager::GCheatManager() {
    GetLogManager()->SetModuleWriter(kModule, GLogManager::kNullWriter);
}

void GCheatManager::AddCheat(GBaseCheat* cheat) {
    std::unique_ptr<GBaseCheat> taken(cheat);
    if (taken == nullptr) {
        return;
    }
    for (const auto& listed : mCheats) {
        if (listed->GetKey() == taken->GetKey()) {
            return;
        }
    }
    mCheats.push_back(std::move(taken));
    // "Cheat "<hint>" added", in the developers' own language.
    LogCheats(str::FromFormat("\xD0\xA7\xD0\xB8\xD1\x82 \"%s\" \xD0\xB4\xD0\xBE\xD0\xB1\xD0\xB0"
                              "\xD0\xB2\xD0\xBB\xD0\xB5\xD0\xBD",
                              mCheats.back()->GetHint().CStr()),
              __LINE__);
    RebuildHint();
}

bool GCheatManager::OnKey(int key) {
    for (const auto& cheat : mCheats) {
        if (cheat->GetKey() == key) {
            cheat->RunCheat();
            RebuildHint();
            return true;
        }
    }
    return false;
}

void GCheatManager::RebuildHint() {
    mHintText = "Cheats:\n";
    for (const auto& cheat : mCheats) {
        mHintText += str(" ") + cheat->GetHint() + str("\n");
    }
}

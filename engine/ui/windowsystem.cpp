#include "engine/ui/windowsystem.h"

#include "engine/ui/stringtable.h"
#include "engine/ui/windowmanager.h"
#include "engine/ui/windowscript.h"

void RegisterWindowSystem() {
    TWindowSystemFactory factory;
    factory.createWindowManager = []() -> TWindowManagerLink* { return new TWindowManager; };
    factory.createStringTable = []() -> TStringTableLink* { return new TStringTable; };
    factory.createWindowScript = []() -> TScript* { return new TWindowScript(nullptr); };
    SetWindowSystemFactory(factory);
}

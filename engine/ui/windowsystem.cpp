#include "engine/ui/windowsystem.h"

#include "engine/ui/fontlist.h"
#include "engine/ui/stringtable.h"
#include "engine/ui/textsprite.h"
#include "engine/ui/windowmanager.h"
#include "engine/ui/windowscript.h"

void RegisterWindowSystem() {
    TWindowSystemFactory factory;
    factory.createWindowManager = []() -> TWindowManagerLink* { return new TWindowManager; };
    factory.createStringTable = []() -> TStringTableLink* { return new TStringTable; };
    factory.createWindowScript = []() -> TScript* { return new TWindowScript(nullptr); };
    factory.clearFontList = []() { TFontList::Instance().Clear(); };
    factory.createTextSprite = [](const str& text, int width, int height, int flags,
                                  const str& fontName, int fontSize,
                                  const TColor& color) -> TTextSpriteLink* {
        return TTextSprite::Create(text, width, height, flags, fontName, fontSize, color);
    };
    SetWindowSystemFactory(factory);
}

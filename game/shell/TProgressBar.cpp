#include "game/shell/TProgressBar.h"

#include "engine/media/texture.h"
#include "engine/script/lua/luanumber.h"
#include "engine/ui/image.h"
#include "engine/ui/windowstyle.h"

namespace {

TTexturePtr LoadLayer(const str& path) {
    return path.Length() != 0 ? TTexture::Get(path, 0) : TTexturePtr();
}

} // namespace

TProgressBar::TProgressBar() : mBackground(new TImage), mForeground(new TImage) {}

TProgressBar::~TProgressBar() {
    RemoveChild(mBackground);
    RemoveChild(mForeground);
    delete mBackground;
    delete mForeground;
}

TWindow* TProgressBar::Create() {
    return new TProgressBar;
}

bool TProgressBar::IsKindOf(TWindowClassId id) const {
    return id == ClassId() || TCustomProgressBar::IsKindOf(id);
}

void TProgressBar::Init(TWindowStyle& style) {
    if (IsInitialised()) {
        return;
    }
    const TTexturePtr background = LoadLayer(style.GetString("Background", str()));
    SetLayerTexture(0, background);
    SetLayerTexture(1, LoadLayer(style.GetString("Foreground", str())));
    mOffsetX = static_cast<float>(LuaNumberToInt(style.GetNumber("dX", 0.0)));
    mOffsetY = static_cast<float>(LuaNumberToInt(style.GetNumber("dY", 0.0)));
    // The layout read by the base's Init below keeps a size already set, so the background's is
    // set only for a definition that gives none of its own.
    const bool sized = style.GetInt("w", 0) != 0 && style.GetInt("h", 0) != 0;
    if ((GetWidth() == 0 || GetHeight() == 0) && !sized && background) {
        SetSize(background->GetWidth(), background->GetHeight());
    }
    AddChild(mBackground, true);
    AddChild(mForeground, true);
    TCustomProgressBar::Init(style);
}

bool TProgressBar::SetLayerTexture(int layer, const TTexturePtr& texture) {
    if (layer == 0) {
        mBackground->SetImage(texture, 1.0f);
    } else if (layer == 1) {
        mForeground->SetImage(texture, 1.0f);
    } else {
        return false;
    }
    if (IsInitialised()) {
        Update();
    }
    return true;
}

void TProgressBar::Update() {
    const TRect screen = GetScreenRect();
    const float width = GetFraction(GetValue()) * static_cast<float>(screen.right - screen.left);
    mForeground->SetSize(LuaNumberToInt(width), screen.bottom - screen.top);
    mForeground->MoveTo(static_cast<int>(mOffsetX), static_cast<int>(mOffsetY));
}

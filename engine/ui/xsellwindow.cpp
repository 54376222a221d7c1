#include "engine/ui/xsellwindow.h"

#include "engine/core/xml.h"
#include "engine/script/luabinding.h"
#include "engine/system/platform.h"
#include "engine/ui/text.h"
#include "engine/ui/windowmanager.h"
#include "engine/ui/windowscript.h"

namespace {

constexpr const char* kXSellFile = "xsell/xsell.xml";

lua_State* XSellScriptState() {
    TWindowManager* manager = GetWindowManager();
    TWindowScript* script = manager != nullptr ? manager->GetWindowScript() : nullptr;
    return script != nullptr ? script->GetState() : nullptr;
}

void DisableWindow(TWindow* window) {
    if (window != nullptr) {
        window->SetFlags(window->GetFlags() & ~static_cast<uint32_t>(TWindow::kEnabled));
    }
}

TText* FindText(TWindow* root, const str& name) {
    TWindow* window = root->FindChild(name, -1);
    return window != nullptr && window->IsKindOf(TText::ClassId()) ? static_cast<TText*>(window)
                                                                   : nullptr;
}

} // namespace

TXSellWindow::TXSellWindow() : mState(XSellScriptState()) {
    if (mState != nullptr) {
        LuaPublish(mState, "SetupXSell", this, &TXSellWindow::Setup);
        LuaPublish(mState, "LaunchGameLink", this, &TXSellWindow::LaunchGameLink);
    }
}

TXSellWindow::~TXSellWindow() {
    // Only while the state is still the window script's: a closed state has no globals left.
    if (mState != nullptr && XSellScriptState() == mState) {
        LuaWithdrawObject(mState, this);
    }
}

TWindow* TXSellWindow::Create() {
    return new TXSellWindow;
}

bool TXSellWindow::IsKindOf(TWindowClassId id) const {
    return id == ClassId() || TWindow::IsKindOf(id);
}

void TXSellWindow::LaunchGameLink(int n) {
    if (n < 0 || n > kGameLinks) {
        return;
    }
    const str& link = n == 0 ? mSiteLink : mGameLinks[n - 1];
    if (TPlatform* platform = TPlatform::GetInstance()) {
        platform->LaunchUrl(link.CStr() != nullptr ? link.CStr() : "");
    }
}

void TXSellWindow::Setup() {
    int games = 0;
    TXmlNode document;
    TXmlNode* xsell = document.LoadFile(kXSellFile) ? document.FindChild("xsell") : nullptr;
    if (xsell != nullptr) {
        bool siteLink = false;
        xsell->ResetChildren();
        str name;
        TXmlNode* child = nullptr;
        while (xsell->NextChild(name, child)) {
            if (name == str("gameinfo")) {
                ++games;
                const str button = str::FromFormat("xsellbutton%d", games);
                if (TText* text = FindText(this, str::FromFormat("descrip%d", games))) {
                    str shown = child->GetAttribute("description");
                    const str linkText = child->GetAttribute("linktext");
                    if (linkText.Length() != 0) {
                        shown += str(" <u><font color=\"003cff\"><a id='") + button + "'>" +
                                 linkText + "</a></font></u>";
                    }
                    text->SetText(shown);
                }
                // Only seven links are kept; later games still show their text.
                if (games <= kGameLinks) {
                    mGameLinks[games - 1] = child->GetAttribute("link");
                }
            } else if (name == str("sitelink")) {
                siteLink = true;
                mSiteLink = child->GetAttribute("link");
            } else if (name == str("centertext")) {
                if (TText* text = FindText(this, "centertext1")) {
                    text->SetText(child->GetAttribute("text1"));
                }
                if (TText* text = FindText(this, "centertext2")) {
                    text->SetText(child->GetAttribute("text2"));
                }
            }
        }
        if (!siteLink) {
            DisableWindow(FindChild("gamesite", -1));
        }
    }
    for (int slot = games + 1; slot <= kSlots; ++slot) {
        DisableWindow(FindChild(str::FromFormat("descrip%d", slot), -1));
        DisableWindow(FindChild(str::FromFormat("xsellbutton%d", slot), -1));
    }
    // Centred once: a later call must not drift the windows further.
    if (mCentred) {
        return;
    }
    mCentred = true;
    auto centre = [this](const str& name) {
        if (TWindow* window = FindChild(name, -1)) {
            const TRect& rect = window->GetRect();
            window->MoveTo(rect.left - window->GetWidth() / 2, rect.top - window->GetHeight() / 2);
        }
    };
    for (int n = 1; n <= kGameLinks; ++n) {
        centre(str::FromFormat("xsellbutton%d", n));
    }
    for (const char* name : {"sitelogo", "kelvanelogo", "gamesite"}) {
        centre(name);
    }
}

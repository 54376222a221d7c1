#include "game/visual/GVFrames.h"

#include "engine/core/xml.h"
#include "game/visual/GVRegCalc.h"
#include "game/visual/GVXmlValues.h"

void GVFrames::AppendFrame(GVFrame* frame) {
    if (frame == nullptr) {
        return;
    }
    frame->mNumber = Count();
    Append(frame, frame->mNumber);
}

void GVFrames::ComputeRegistrations(const GVTextures* textures) {
    GVRegCalc calc;
    calc.InitModes();
    calc.Compute(*this, textures);
}

GVFrame* GVFrames::CloneItem(GVFrame* item) {
    auto* frame = new GVFrame;
    item->CopyTo(frame);
    frame->mMode = item->mMode;
    frame->mNumber = item->mNumber;
    return frame;
}

bool GVFrames::Load(TXmlNode* element, GVBase* owner) {
    if (element == nullptr) {
        return false;
    }
    mMode = gvxml::ParseCentering(gvxml::Chars(gvxml::Text(element, "centering")));
    int shown = 0;
    str name;
    TXmlNode* child = nullptr;
    element->ResetChildren();
    while (element->NextChild(name, child)) {
        if (!(name == GetItemName()) || child == nullptr) {
            continue;
        }
        auto* frame = new GVFrame;
        if (frame->Load(child, owner)) {
            ++shown;
        } else if (frame->mEmpty) {
            *frame = GVFrame();
            frame->mEmpty = true;
        } else {
            delete frame;
            continue;
        }
        AppendFrame(frame);
    }
    return shown > 0;
}

bool GVFrames::Save(TXmlNode* element) {
    if (element == nullptr) {
        return false;
    }
    element->SetAttribute("centering", gvxml::CenteringName(mMode));
    for (int i = 0; i < Count(); ++i) {
        At(i)->Save(element->AddChild("frame"));
    }
    return true;
}

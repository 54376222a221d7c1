#include "game/visual/GVFrames.h"

#include "game/visual/GVRegCalc.h"

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

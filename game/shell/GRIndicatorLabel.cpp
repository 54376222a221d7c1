#include "game/shell/GRIndicatorLabel.h"

#include "engine/media/renderer.h"
#include "engine/ui/windowstyle.h"

namespace {

constexpr float kDegreesToRadians = 3.1415927f / 180.0f;

} // namespace

GRIndicatorLabel::GRIndicatorLabel() : mSpec(TVec2(0.0f, 0.0f), 1.0f, 1.0f, 0) {}

bool GRIndicatorLabel::IsKindOf(TWindowClassId id) const {
    return id == ClassId() || TWindow::IsKindOf(id);
}

TWindow* GRIndicatorLabel::Create() {
    return new GRIndicatorLabel;
}

void GRIndicatorLabel::Init(TWindowStyle& style) {
    TWindow::Init(style);
    Setup(style.GetInt("xc", 0), style.GetInt("yc", 0),
          static_cast<float>(style.GetNumber("angle", 0.0)),
          TTexture::Get(style.GetString("image", str()), 0), style.GetInt("length", 0));
}

void GRIndicatorLabel::Setup(int xc, int yc, float angle, const TTexturePtr& image, int length) {
    mXc = xc;
    mYc = yc;
    Update();
    mAngle = angle;
    Update();
    SetImage(image);
    mLength = length;
    Update();
    mReady = true;
    Update();
}

void GRIndicatorLabel::SetImage(const TTexturePtr& image) {
    mImage = image;
    Update();
}

void GRIndicatorLabel::Update() {
    if (!mImage || !mReady) {
        return;
    }
    mSpec = TDrawSpec(TVec2(0.0f, 0.0f), 1.0f, 1.0f, 0);
    mSpec.mOrigin = TVec2(static_cast<float>(mLength),
                          static_cast<float>(static_cast<unsigned>(mImage->GetHeight())) * 0.5f);
    mSpec.mTransform.m[2][0] = static_cast<float>(mXc);
    mSpec.mTransform.m[2][1] = static_cast<float>(mYc);
    mSpec.mFlags = TDrawSpec::kUseOrigin;
    mSpec.mTransform.Rotate(mAngle * kDegreesToRadians);
}

void GRIndicatorLabel::Draw() {
    TRenderer* renderer = TRenderer::Existing();
    if (!mImage || !mReady || renderer == nullptr) {
        return;
    }
    TRenderer2dScope pass;
    pass.mActive = !renderer->IsIn2d() && renderer->Begin2d();
    mImage->Draw(mSpec);
}

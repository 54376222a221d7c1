#include "engine/ui/slider.h"

#include "engine/core/color.h"
#include "engine/core/matrix.h"
#include "engine/media/drawdesc.h"
#include "engine/media/renderer.h"
#include "engine/media/texture.h"
#include "engine/media/vertexset.h"
#include "engine/script/lua/luanumber.h"
#include "engine/ui/image.h"
#include "engine/ui/message.h"
#include "engine/ui/windowmanager.h"
#include "engine/ui/windowstyle.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {

constexpr int kCullNone = 1;

TTexturePtr LoadSliderImage(const str& name) {
    return name.Length() != 0 ? TTexture::Get(name, 0) : TTexturePtr();
}

} // namespace

TSlider::TSlider() : mThumb(new TImage) {}

TSlider::~TSlider() {
    // Once added the thumb goes with the children.
    if (mThumb != nullptr && mThumb->GetParent() == nullptr) {
        delete mThumb;
    }
}

TWindow* TSlider::Create() {
    return new TSlider;
}

bool TSlider::IsKindOf(TWindowClassId id) const {
    return id == ClassId() || TWindow::IsKindOf(id);
}

void TSlider::Init(TWindowStyle& style) {
    TWindow::Init(style);
    if (mInitialised) {
        return;
    }
    mInitialised = true;
    const int width = LuaNumberToInt(style.GetNumber("w", 0.0));
    const int height = LuaNumberToInt(style.GetNumber("h", 0.0));
    // A boolean reads as the number 0: "hslider" given as true or false decides.
    if (style.GetNumber("hslider", -1.0) >= 0.0) {
        mHorizontal = style.GetBool("hslider", false);
    } else {
        mHorizontal = height < width;
    }
    const str railTop = style.GetString("railtop", str());
    const str railMiddle = style.GetString("railmid", str());
    const str railBottom = style.GetString("railbot", str());
    const str thumbName = style.GetString("sliderimage", str());
    const str thumbRollName = style.GetString("sliderrollimage", str());
    const str name = style.GetString("name", str());
    const auto scale = static_cast<float>(style.GetNumber("scale", 1.0));
    mCrossOffset = LuaNumberToInt(style.GetNumber("yoffset", 0.0));

    const TTexturePtr thumb = LoadSliderImage(thumbName);
    const TTexturePtr thumbRoll = LoadSliderImage(thumbRollName);
    SetName(name);
    mScale = scale;
    SetRail(LoadSliderImage(railTop), LoadSliderImage(railMiddle), LoadSliderImage(railBottom));
    SetThumbImages(thumb, thumbRoll);
    PlaceThumb();
    if (mThumb->GetParent() == nullptr) {
        AddChild(mThumb, true);
        UpdateThickness();
    }
}

void TSlider::SetValue(float value, bool silent) {
    mValue = std::isnan(value) ? 0.0f : std::clamp(value, 0.0f, 1.0f);
    if (mThumb == nullptr) {
        return;
    }
    PlaceThumb();
    if (!silent) {
        TellParent(TMessage::kSliderValChanged);
    }
}

void TSlider::SetRail(const TTexturePtr& start, const TTexturePtr& middle, const TTexturePtr& end) {
    mRail[0] = start;
    mRail[1] = middle;
    mRail[2] = end;
    UpdateThickness();
}

void TSlider::SetThumbImages(const TTexturePtr& normal, const TTexturePtr& roll) {
    mThumbImage = normal;
    mThumbRollImage = roll;
    mThumb->SetImage(normal, mScale);
    if (mThumb->GetParent() == nullptr) {
        AddChild(mThumb, true);
    }
    UpdateThickness();
}

void TSlider::UpdateThickness() {
    int thickness =
        std::abs(mCrossOffset) + (mHorizontal ? mThumb->GetHeight() : mThumb->GetWidth());
    for (const TTexturePtr& rail : mRail) {
        if (rail) {
            thickness = std::max(thickness, LuaNumberToInt(static_cast<double>(mScale) *
                                                           static_cast<double>(rail->GetWidth())));
        }
    }
    mThickness = thickness;
    if (mHorizontal) {
        SetSize(GetWidth(), thickness);
    } else {
        SetSize(thickness, GetHeight());
    }
}

void TSlider::PlaceThumb() {
    const double value = mValue;
    if (mHorizontal) {
        mThumb->MoveTo(LuaNumberToInt(value * (GetWidth() - mThumb->GetWidth())), mCrossOffset);
    } else {
        mThumb->MoveTo(mCrossOffset, LuaNumberToInt(value * (GetHeight() - mThumb->GetHeight())));
    }
}

bool TSlider::OnThumb(const TPoint& point) const {
    const TRect& rect = mThumb->GetRect();
    return point.x >= rect.left && point.x < rect.right && point.y >= rect.top &&
           point.y < rect.bottom;
}

void TSlider::Highlight(bool on) {
    mThumb->SetImage(on ? mThumbRollImage : mThumbImage, mScale);
    if (TWindowManager* manager = GetWindowManager()) {
        if (on) {
            manager->StartTracking(this);
        } else {
            manager->StopTracking(this);
        }
    }
}

void TSlider::TellParent(int kind) {
    if (GetParent() != nullptr) {
        SendMessage(GetParent(), new TMessage(kind, GetName(), nullptr));
    }
}

bool TSlider::OnMouseDown(const TPoint& point) {
    if (mThumb == nullptr) {
        return false;
    }
    if (OnThumb(point)) {
        mDragging = 1;
        if (TWindowManager* manager = GetWindowManager()) {
            manager->StartTracking(this);
        }
        return true;
    }
    const TRect& thumb = mThumb->GetRect();
    const bool before = mHorizontal ? point.x < thumb.left : point.y < thumb.top;
    TellParent(before ? TMessage::kSliderPageUp : TMessage::kSliderPageDown);
    return true;
}

bool TSlider::OnMouseMove(const TPoint& point) {
    Highlight(mDragging != 0 || OnThumb(point));
    if (mDragging == 0) {
        return false;
    }
    const double along = mHorizontal ? point.x : point.y;
    const double length = mHorizontal ? GetWidth() : GetHeight();
    SetValue(static_cast<float>(along / length), false);
    return true;
}

bool TSlider::OnMouseUp(const TPoint& point) {
    if (mDragging == 0) {
        return false;
    }
    mDragging = 0;
    Highlight(OnThumb(point));
    TellParent(TMessage::kSliderMouseUp);
    return true;
}

bool TSlider::OnMouseLeave() {
    if (mDragging == 0) {
        Highlight(false);
    }
    return true;
}

void TSlider::Draw() {
    TRenderer* renderer = TRenderer::Existing();
    if (renderer == nullptr) {
        return;
    }
    TRenderer2dScope pass;
    pass.mActive = renderer->Begin2d();
    if (!pass.mActive) {
        return;
    }
    renderer->SetBlendMode(0);
    renderer->SetCullMode(kCullNone);
    const float length = static_cast<float>(mHorizontal ? GetWidth() : GetHeight());
    auto extent = [this](const TTexturePtr& texture) {
        return texture ? static_cast<float>(texture->GetHeight()) * mScale : 0.0f;
    };
    // Along the axis: the start at 0, the middle stretched between, the end after it.
    const float middleLength = length - extent(mRail[0]) - extent(mRail[2]);
    const float starts[3] = {0.0f, extent(mRail[0]), extent(mRail[0]) + middleLength};
    const float lengths[3] = {extent(mRail[0]), middleLength, extent(mRail[2])};
    const TColor white{1.0f, 1.0f, 1.0f, 1.0f};
    const TMat3 identity;
    for (int i = 0; i < 3; ++i) {
        const TTexturePtr& texture = mRail[i];
        if (!texture) {
            continue;
        }
        const float across = static_cast<float>(texture->GetWidth()) * mScale;
        const float x0 = (static_cast<float>(mThickness) - across) / 2.0f;
        const float a0 = starts[i];
        const float a1 = starts[i] + lengths[i];
        // Corners in the order of the image's top left, top right, bottom right, bottom left. The
        // images are authored upright; a horizontal slider turns them a quarter turn, their top
        // toward the start.
        TVec2 corners[4];
        if (mHorizontal) {
            corners[0] = TVec2(a0, x0 + across);
            corners[1] = TVec2(a0, x0);
            corners[2] = TVec2(a1, x0);
            corners[3] = TVec2(a1, x0 + across);
        } else {
            corners[0] = TVec2(x0, a0);
            corners[1] = TVec2(x0 + across, a0);
            corners[2] = TVec2(x0 + across, a1);
            corners[3] = TVec2(x0, a1);
        }
        const TPoint surface = texture->GetSurfaceSize();
        const TVec2 uv0(0.0f, 0.0f);
        const TVec2 uv1(
            surface.x > 0 ? static_cast<float>(texture->GetWidth()) / static_cast<float>(surface.x)
                          : 1.0f,
            surface.y > 0 ? static_cast<float>(texture->GetHeight()) / static_cast<float>(surface.y)
                          : 1.0f);
        D3DLVERTEX vertices[4];
        BuildQuadVertices(TVec2(0.0f, 0.0f), vertices, corners, uv0, uv1, identity, mRailAlpha,
                          white);
        renderer->SetTexture(texture);
        renderer->DrawVertices(D3DPT_TRIANGLEFAN, TVertexSet::FromLitVertices(vertices, 4));
    }
}

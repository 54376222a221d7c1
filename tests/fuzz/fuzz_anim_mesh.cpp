// Feeds arbitrary bytes to the animation readers (the chunked ".anm" form and the XML form) and to
// the mesh reader, as memory files, through TAnimatedTexture::Get and TModel::Get on a headless
// display. The first byte picks the reader and, for animations, whether the image and mask names
// are overridden by a sheet that exists (so that damaged descriptions still reach drawing) and
// how the frames are drawn; the rest is the file.
#include "engine/core/assetmanager.h"
#include "engine/core/knownfiles.h"
#include "engine/media/animatedtexture.h"
#include "engine/media/model.h"
#include "tests/fuzz/imageload_fuzz.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace {

using image_fuzz::Expect;

// An 8 x 8 RGB PNG.
const uint8_t kSheet[] = {
    0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a, 0x00, 0x00, 0x00, 0x0d, 0x49, 0x48, 0x44,
    0x52, 0x00, 0x00, 0x00, 0x08, 0x00, 0x00, 0x00, 0x08, 0x08, 0x02, 0x00, 0x00, 0x00, 0x4b,
    0x6d, 0x29, 0xdc, 0x00, 0x00, 0x00, 0x6b, 0x49, 0x44, 0x41, 0x54, 0x78, 0xda, 0x15, 0x8d,
    0x41, 0x11, 0x00, 0x41, 0x0c, 0xc2, 0x2a, 0xa5, 0x52, 0x22, 0x05, 0x29, 0x95, 0x82, 0x14,
    0xa4, 0x20, 0xe5, 0x6e, 0x79, 0x12, 0x26, 0xcc, 0x0c, 0x3b, 0x30, 0x68, 0xb8, 0xc1, 0x43,
    0x86, 0x0e, 0x33, 0xcb, 0x2e, 0x2c, 0x5a, 0x6e, 0xf1, 0x92, 0xa5, 0xfb, 0x83, 0x57, 0xbe,
    0x08, 0x0e, 0x0c, 0x81, 0xfe, 0x8a, 0x11, 0xab, 0x57, 0x4b, 0x9c, 0xb0, 0x88, 0xa8, 0x7e,
    0x70, 0xec, 0xbd, 0xb1, 0x8e, 0x3b, 0x7c, 0xe4, 0xe8, 0xfd, 0xc0, 0xac, 0x9f, 0x42, 0xe6,
    0x8c, 0x4d, 0x4c, 0xfd, 0x83, 0xb0, 0x79, 0x62, 0x85, 0x0b, 0x0e, 0x09, 0xcd, 0x0f, 0xca,
    0xf6, 0xdd, 0xa9, 0x5c, 0x71, 0x49, 0x69, 0xf9, 0x00, 0x96, 0x21, 0x48, 0x01, 0x32, 0xf5,
    0x52, 0xd8, 0x00, 0x00, 0x00, 0x00, 0x49, 0x45, 0x4e, 0x44, 0xae, 0x42, 0x60, 0x82};

TAssetManager* sAssets = nullptr;

// Frames -1 to 3 and the first past the end: sizes and rectangles agree with the frame table, and
// each is drawn as `selector` asks.
void DrawFrames(TAnimatedTexture& anim, uint8_t selector) {
    const TAnimData& data = anim.GetAnim();
    const int count = anim.GetFrameCount();
    Expect(static_cast<size_t>(count) == data.mFrames.size());
    const TRect past = anim.GetFrameRect(count);
    Expect(past.left == 0 && past.top == 0 && past.right == 0 && past.bottom == 0);
    TRenderer& renderer = *TRenderer::Instance();
    if (!renderer.BeginDraw(0)) {
        return;
    }
    if (renderer.Begin2d()) {
        const uint32_t flags = selector >> 4;
        for (int index = -1; index <= std::min(count, 4); ++index) {
            const int frame = index < 4 ? index : count;
            anim.SetCurrentFrame(frame);
            const bool inside = frame >= 0 && frame < count;
            Expect(anim.GetWidth() == (inside ? data.mFrames[frame].mW : 0));
            Expect(anim.GetHeight() == (inside ? data.mFrames[frame].mH : 0));
            TDrawSpec params(TVec2(32.0f, 32.0f), 0.75f, (selector & 0x08) != 0 ? 2.0f : 1.0f,
                             flags);
            params.mSrcRect = TRect{-2, 1, 5, 300};
            params.mOrigin = TVec2(3.0f, -4.0f);
            anim.Draw(params);
            anim.DrawAt(10.0f, 50.0f, 1.0f, 1.0f, 0.5f, flags & TDrawSpec::kFlipX);
        }
        renderer.End2d();
    }
    renderer.EndDraw(0);
}

void LoadAnimation(bool xml, uint8_t selector, const uint8_t* file, unsigned size) {
    const char* name = xml ? "fuzz/anim.xml" : "fuzz/anim.anm";
    RegisterMemoryFile(name, file, size);
    const bool overrides = (selector & 0x04) != 0;
    const TAnimatedTexturePtr anim = TAnimatedTexture::Get(
        "fuzz/anim", overrides ? "sheet.png" : "", overrides ? "sheet.png" : "");
    if (anim) {
        DrawFrames(*anim, selector);
    }
    RegisterMemoryFile(name, nullptr, 0);
}

void LoadModel(const uint8_t* file, unsigned size) {
    RegisterMemoryFile("fuzz/model.mesh", file, size);
    const TModelPtr model = TModel::Get("fuzz/model.mesh");
    if (model) {
        for (int pass = 0; pass < 2; ++pass) {
            const TMesh* mesh = model->GetMesh();
            Expect(mesh != nullptr && mesh->GetIndexCount() % 3 == 0);
            for (uint16_t index : mesh->mIndices) {
                Expect(index < mesh->GetVertexCount());
            }
            // The same bytes read again.
            model->Restore();
        }
    }
    RegisterMemoryFile("fuzz/model.mesh", nullptr, 0);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/) {
    image_fuzz::OpenDisplay();
    TPlatformData& data = TRenderer::Instance()->GetDisplayHandler().GetData();
    data.mTargetRect = TRect{0, 0, 64, 64};
    data.mViewport = data.mTargetRect;
    data.mClipRect = data.mTargetRect;
    sAssets = new TAssetManager;
    SetAssetManager(sAssets);
    RegisterMemoryFile("fuzz/sheet.png", kSheet, sizeof kSheet);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) {
        return 0;
    }
    const uint8_t selector = data[0];
    const uint8_t* file = data + 1;
    const unsigned fileSize = static_cast<unsigned>(size - 1);
    switch (selector & 0x03) {
    case 0:
        LoadAnimation(false, selector, file, fileSize);
        break;
    case 1:
        LoadAnimation(true, selector, file, fileSize);
        break;
    default:
        LoadModel(file, fileSize);
        break;
    }
    // Entries of the assets that died with this input.
    sAssets->ReleaseAll();
    return 0;
}

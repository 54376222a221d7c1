// Loads arbitrary bytes as a visual-object file, plain and compressed ("ZXML"), beside fixture
// files it may export (one with a small half-transparent texture and the "alpha" tester, so that
// masks are built, and state effects), attaches the object to a draw list, sets a few states, steps
// frames, hit-tests, draws it on the headless display and saves it.
#include "engine/core/assetmanager.h"
#include "engine/core/knownfiles.h"
#include "engine/core/tasklist.h"
#include "engine/core/xml.h"
#include "engine/media/media.h"
#include "engine/media/renderer.h"
#include "engine/media/texture.h"
#include "engine/system/medialink.h"
#include "engine/system/platform.h"
#include "engine/system/win32platform.h"
#include "game/visual/GVFactory.h"
#include "game/visual/GVLayer.h"
#include "game/visual/GVObject.h"
#include "game/world/GStateKey.h"
#include "platform/win32/standin.h"
#include "platform/win32/windows.h"

#include <png.h>
#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

using TBytes = std::vector<uint8_t>;

// An 8 x 8 RGBA image: opaque on the left half, clear on the right.
TBytes HalfClearPng() {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    TBytes out;
    png_set_write_fn(
        png, &out,
        [](png_structp p, png_bytep data, size_t length) {
            auto* bytes = static_cast<TBytes*>(png_get_io_ptr(p));
            bytes->insert(bytes->end(), data, data + length);
        },
        nullptr);
    png_set_IHDR(png, info, 8, 8, 8, PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < 8; ++y) {
        uint8_t row[8 * 4];
        for (int x = 0; x < 8; ++x) {
            const uint8_t pixel[4] = {200, static_cast<uint8_t>(y * 30), 40,
                                      static_cast<uint8_t>(x < 4 ? 255 : 0)};
            std::memcpy(row + x * 4, pixel, 4);
        }
        png_write_row(png, row);
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

void PutLe32(TBytes& out, uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        out.push_back(static_cast<uint8_t>(value >> (8 * i)));
    }
}

TBytes Compressed(const uint8_t* data, size_t size) {
    uLongf length = compressBound(static_cast<uLong>(size));
    TBytes packed(length);
    if (compress2(packed.data(), &length, data, static_cast<uLong>(size), 1) != Z_OK) {
        return {};
    }
    TBytes out{'Z', 'X', 'M', 'L'};
    PutLe32(out, static_cast<uint32_t>(length));
    PutLe32(out, static_cast<uint32_t>(size));
    out.insert(out.end(), packed.begin(), packed.begin() + static_cast<std::ptrdiff_t>(length));
    return out;
}

const char kBase[] =
    "<main id=\"base\" hit_test=\"alpha\"><images><img name=\"t.png\" centering=\"center\"/>"
    "</images><framelist><frame w=\"4\" h=\"8\" regx=\"2\"/><frame x=\"2\" w=\"6\" h=\"6\"/>"
    "<frame x=\"-3\" y=\"5\" w=\"20\" h=\"9\"/></framelist><objects><obj id=\"arm\" link=\"3\">"
    "<framelist><frame w=\"2\" h=\"2\"/></framelist><states><state id=\"walk\" "
    "framelist=\"0,0\" nextstate=\"stand\"/></states></obj></objects><states>"
    "<state id=\"walk\" framelist=\"0..2\" defdelay=\"10\" nextstate=\"stand\">"
    "<ScaleInterpolator keys=\"1 2\" quant=\"10\"/><DeltaMoveInterpolator keys=\"0 0 5\"/>"
    "<AlphaInterpolator keys=\"1\" time=\"0\"/></state>"
    "<state id=\"stand\" framelist=\"2,1\"/></states></main>";
const char kKid[] = "<main export=\"base\"><images><img name=\"t.png\"/></images></main>";

// The engine with its display up and the fixture files served, made once per process.
class TEngine {
public:
    TEngine() : mPng(HalfClearPng()) {
        setenv("SDL_VIDEODRIVER", "dummy", 0);
        setenv("SDL_AUDIODRIVER", "dummy", 0);
        standin::TDesktop desktop;
        desktop.width = 1024;
        desktop.height = 768;
        standin::SetDesktop(desktop);
        RegisterMedia();
        mPlatform = new TPlatform(new TWin32Platform(GetModuleHandleA(nullptr), nullptr,
                                                     mCommandLine, SW_SHOWNORMAL, true));
        mPlatform->CreateMainWindow();
        CreateRenderer();
        // Small: the objects sit near the top left, and clearing and showing a large frame would
        // take most of an input's time.
        mPlatform->SetDisplay(160, 120, false);
        // The cursor thread draws and allocates beside the inputs, which makes every input look
        // as if it kept memory and has the fuzzer search for leaks after each.
        mPlatform->GetWin32()->StopCursorThread();
        RegisterMemoryFile("anim/t.png", mPng.data(), static_cast<unsigned>(mPng.size()));
        RegisterMemoryFile("xml/base.xml", kBase, sizeof(kBase) - 1);
        RegisterMemoryFile("xml/kid.xml", kKid, sizeof(kKid) - 1);
        standin::SetFakeTime(1000);
        GVFactory& factory = GVFactory::Instance();
        factory.SetObjectFolder("xml/");
        factory.SetTextureFolder("anim/");
        factory.SetCurrentLayer(&mLayer);
        // Loaded once and kept: a texture made and dropped by every input would leave the stand-in
        // surface list a little longer each time.
        mTexture = TTexture::Get("anim/t.png", 0);
    }

    GVLayer& Layer() { return mLayer; }

    // Drops the asset entries of textures that died with an input and of images that never
    // loaded, keeping the fixture's texture loaded.
    void ReleaseDeadAssets() {
        TAssetManager& assets = *GetAssetManager();
        const str key = TTexture::MakeKey("anim/t.png", false, false, false);
        assets.Remove(key);
        assets.ReleaseAll();
        assets.Add(key, mTexture);
    }

private:
    char mCommandLine[1] = "";
    TBytes mPng;
    TTexturePtr mTexture;
    TPlatform* mPlatform = nullptr;
    GVLayer mLayer;
};

void Exercise(GVObject* object, GVLayer& layer, uint8_t selector) {
    static const char* const kStates[] = {"normal", "walk", "stand", "any", "missing"};
    TRenderer& renderer = *TRenderer::Instance();
    for (int i = 0; i < 3; ++i) {
        const char* name = kStates[(selector + i) % 5];
        object->SetState(GStateKey::FromString(name), (selector & (1 << i)) != 0);
        object->mDeltaX += 13.0f;
        object->mRotate = (selector & 8) != 0 ? 0.5f : 0.0f;
        object->MarkChanged();
        for (int step = 0; step < 4; ++step) {
            object->OnFrameTimer();
        }
        // Interpolator steps: their timers run in the platform's task list on the fake clock.
        standin::AdvanceTime(10);
        TPlatform::GetInstance()->GetTaskList()->Run(0);
        // One frame is enough to reach every drawing path; frames are the slow part.
        if (i == 2 && renderer.BeginDraw(0)) {
            layer.Draw();
            renderer.EndDraw(0);
        }
        object->GetBounds(nullptr);
        object->FindObjectAt(15.0f, 3.0f, 3);
    }
    TXmlNode document;
    TXmlNode* main = document.AddChild("main");
    main->AddChild("objects");
    main->AddChild("effects");
    object->Save(main);
    const str text = document.ToString();
    (void)text;
}

TEngine* sEngine = nullptr;

} // namespace

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/) {
    sEngine = new TEngine;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TEngine& engine = *sEngine;
    RegisterMemoryFile("xml/fuzz.xml", data, static_cast<unsigned>(size));
    const TBytes packed = Compressed(data, size);
    RegisterMemoryFile("xml/zfuzz.xml", packed.data(), static_cast<unsigned>(packed.size()));
    GVFactory& factory = GVFactory::Instance();
    const uint8_t selector = size > 0 ? data[size / 2] : 0;
    for (const char* path : {"fuzz", "zfuzz?default", "kid"}) {
        // The fixture alone is the same every time: some inputs are enough for it.
        if (path[0] == 'k' && (selector & 32) == 0) {
            continue;
        }
        std::unique_ptr<GVObject> first(factory.CreateByPath(path, true));
        std::unique_ptr<GVObject> second(factory.CreateByPath(path, true));
        if (first != nullptr) {
            Exercise(first.get(), engine.Layer(), selector);
        }
        if (second != nullptr) {
            Exercise(second.get(), engine.Layer(), static_cast<uint8_t>(selector >> 1));
        }
        if ((selector & 16) != 0) {
            // Prototypes dropped while clones live.
            factory.ClearCache();
        }
    }
    factory.ClearCache();
    // Frame timers of deleted objects end at their next run, which never comes here: only they
    // live in the platform's task list.
    TPlatform::GetInstance()->GetTaskList()->Clear();
    engine.ReleaseDeadAssets();
    RegisterMemoryFile("xml/fuzz.xml", nullptr, 0);
    RegisterMemoryFile("xml/zfuzz.xml", nullptr, 0);
    return 0;
}

#include "engine/core/assetmanager.h"
#include "engine/media/animatedtexture.h"
#include "tests/engine/media/texture_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <numbers>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace {

using texture_test::TBytes;

// The fields of a ".anm" file in order, little-endian.
struct TAnmWriter {
    TAnmWriter& Tag(const char* tag) {
        // Byte by byte: GCC's overflow warning misreads a range insert into an empty vector.
        for (int i = 0; i < 4; ++i) {
            bytes.push_back(static_cast<uint8_t>(tag[i]));
        }
        return *this;
    }
    TAnmWriter& Int(int32_t value) {
        for (int shift = 0; shift < 32; shift += 8) {
            bytes.push_back(static_cast<uint8_t>(static_cast<uint32_t>(value) >> shift));
        }
        return *this;
    }
    TAnmWriter& Float(float value) {
        int32_t bits = 0;
        std::memcpy(&bits, &value, sizeof bits);
        return Int(bits);
    }
    TAnmWriter& String(const std::string& text) {
        Int(static_cast<int32_t>(text.size()));
        bytes.insert(bytes.end(), text.begin(), text.end());
        return *this;
    }

    TBytes bytes;
};

using TTransform = std::array<float, 6>;

struct TAnchorDesc {
    std::string name;
    int x;
    int y;
};

struct TFrameDesc {
    TFrameDesc(std::string frameName, int ax, int ay, int aw, int ah, int rx, int ry,
               float frameAlpha = 1.0f, std::optional<TTransform> frameTransform = std::nullopt,
               std::vector<TAnchorDesc> frameAnchors = {})
        : name(std::move(frameName)), x(ax), y(ay), w(aw), h(ah), regX(rx), regY(ry),
          alpha(frameAlpha), transform(frameTransform), anchors(std::move(frameAnchors)) {}

    std::string name;
    int x, y, w, h;
    int regX, regY;
    float alpha;
    std::optional<TTransform> transform;
    std::vector<TAnchorDesc> anchors;
};

struct TAnimDesc {
    std::string name = "walk";
    std::string source = "walk.psd";
    std::string image = "sheet.png";
    std::string mask;
    int regX = 3, regY = 4, width = 64, height = 32;
    std::vector<TFrameDesc> frames;
    // None: the file has no script.
    std::optional<std::string> script;
};

// `version` 1 has four extra floats after the image rectangle and no frame alphas.
TBytes AnmFile(const TAnimDesc& desc, int version = 2) {
    TAnmWriter out;
    out.Tag("ANIM").Int(77).Int(version).String(desc.name).String(desc.source);
    out.Tag("IMGN").Int(desc.regX).Int(desc.regY).Int(desc.width).Int(desc.height);
    if (version == 1) {
        out.Float(9.5f).Float(-1.0f).Float(2.0f).Float(100.0f);
    }
    out.String(desc.image).String(desc.mask);
    out.Tag("FRMS").Int(static_cast<int32_t>(desc.frames.size()));
    for (const TFrameDesc& frame : desc.frames) {
        out.Int(frame.regX).Int(frame.regY).Int(frame.x).Int(frame.y).Int(frame.w).Int(frame.h);
        if (version > 1) {
            out.Float(frame.alpha);
        }
        const TTransform none = {TAnimFrame::kNoTransform, 0, 0, 0, 0, 0};
        for (float value : frame.transform.value_or(none)) {
            out.Float(value);
        }
        out.String(frame.name).Int(static_cast<int32_t>(frame.anchors.size()));
        for (const TAnchorDesc& anchor : frame.anchors) {
            out.Int(anchor.x).Int(anchor.y).String(anchor.name);
        }
    }
    if (desc.script) {
        out.Tag("SCRP").String(*desc.script);
    }
    return out.bytes;
}

TBytes Text(const std::string& text) {
    return TBytes(text.begin(), text.end());
}

// Every attribute written out, so that nothing is taken from the frame before.
TBytes XmlFile(const TAnimDesc& desc) {
    std::string xml = "<sequence name=\"" + desc.name + "\" source=\"" + desc.source + "\">\n";
    xml += str::FromFormat("  <img regx=\"%d\" regy=\"%d\" w=\"%d\" h=\"%d\" name=\"%s\" "
                           "mask=\"%s\"/>\n",
                           desc.regX, desc.regY, desc.width, desc.height, desc.image.c_str(),
                           desc.mask.c_str())
               .CStr();
    xml += "  <framelist>\n";
    for (const TFrameDesc& frame : desc.frames) {
        xml += str::FromFormat("    <frame name=\"%s\" x=\"%d\" y=\"%d\" w=\"%d\" h=\"%d\" "
                               "regx=\"%d\" regy=\"%d\" alpha=\"%.9g\"",
                               frame.name.c_str(), frame.x, frame.y, frame.w, frame.h, frame.regX,
                               frame.regY, static_cast<double>(frame.alpha))
                   .CStr();
        if (frame.transform) {
            const TTransform& t = *frame.transform;
            xml += str::FromFormat(" xform=\"%.9g %.9g %.9g %.9g %.9g %.9g\"",
                                   static_cast<double>(t[0]), static_cast<double>(t[1]),
                                   static_cast<double>(t[2]), static_cast<double>(t[3]),
                                   static_cast<double>(t[4]), static_cast<double>(t[5]))
                       .CStr();
        }
        xml += ">\n";
        for (const TAnchorDesc& anchor : frame.anchors) {
            xml += str::FromFormat("      <anchor name=\"%s\" x=\"%d\" y=\"%d\"/>\n",
                                   anchor.name.c_str(), anchor.x, anchor.y)
                       .CStr();
        }
        xml += "    </frame>\n";
    }
    xml += "  </framelist>\n";
    if (desc.script) {
        xml += "  <script luascript=\"" + *desc.script + "\"/>\n";
    }
    xml += "</sequence>\n";
    return Text(xml);
}

// Three frames on a 64 x 32 sheet; the first without a transform, every later one with one.
TAnimDesc WalkDesc() {
    TAnimDesc desc;
    const float c = std::cos(0.5f);
    const float s = std::sin(0.5f);
    desc.frames = {
        TFrameDesc{"stand", 0, 0, 32, 32, 16, 30, 1.0f, std::nullopt, {{"hand", 25, 12}}},
        TFrameDesc{"step", 32, 0, 16, 16, 0, 0, 0.5f, TTransform{c, s, -s, c, 2.5f, -7.0f}, {}},
        TFrameDesc{"jump",
                   48,
                   0,
                   16,
                   40,
                   8,
                   -3,
                   0.25f,
                   TTransform{2, 0, 0, 2, 0, 0},
                   {{"foot", 1, 2}, {"head", -4, 5}}},
    };
    desc.script = "function DoAnim() frames{3,2,1}; end";
    return desc;
}

// Pixel (x, y): red x * 4, green y * 8, blue 0x40, opaque.
TBytes SheetPng(int width = 64, int height = 32) {
    texture_test::TPngImage params;
    params.width = width;
    params.height = height;
    params.colorType = PNG_COLOR_TYPE_RGB;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            params.rows.insert(params.rows.end(), {static_cast<uint8_t>(x * 4),
                                                   static_cast<uint8_t>(y * 8), uint8_t{0x40}});
        }
    }
    return texture_test::EncodePng(params);
}

uint32_t SheetPixel(int x, int y) {
    return static_cast<uint32_t>(x * 4) << 16 | static_cast<uint32_t>(y * 8) << 8 | 0x40u;
}

void ExpectMatches(const TAnimDesc& desc, const TAnimData& anim) {
    EXPECT_STREQ(anim.mName.CStr(), desc.name.c_str());
    EXPECT_STREQ(anim.mSource.CStr(), desc.source.c_str());
    EXPECT_STREQ(anim.mImageName.CStr(), desc.image.c_str());
    EXPECT_STREQ(anim.mMaskName.CStr(), desc.mask.c_str());
    EXPECT_EQ(anim.mImageRegX, desc.regX);
    EXPECT_EQ(anim.mImageRegY, desc.regY);
    EXPECT_EQ(anim.mImageWidth, desc.width);
    EXPECT_EQ(anim.mImageHeight, desc.height);
    ASSERT_EQ(anim.mFrames.size(), desc.frames.size());
    int maxWidth = 0;
    int maxHeight = 0;
    for (size_t i = 0; i < desc.frames.size(); ++i) {
        SCOPED_TRACE(i);
        const TFrameDesc& want = desc.frames[i];
        const TAnimFrame& frame = anim.mFrames[i];
        EXPECT_STREQ(frame.mName.CStr(), want.name.c_str());
        EXPECT_EQ(
            (std::array<int, 6>{frame.mX, frame.mY, frame.mW, frame.mH, frame.mRegX, frame.mRegY}),
            (std::array<int, 6>{want.x, want.y, want.w, want.h, want.regX, want.regY}));
        EXPECT_EQ(frame.mAlpha, want.alpha);
        EXPECT_EQ(frame.HasTransform(), want.transform.has_value());
        const TTransform none = {TAnimFrame::kNoTransform, 0, 0, 0, 0, 0};
        EXPECT_EQ(std::to_array(frame.mTransform), want.transform.value_or(none));
        ASSERT_EQ(frame.mAnchors.size(), want.anchors.size());
        for (size_t k = 0; k < want.anchors.size(); ++k) {
            EXPECT_STREQ(frame.mAnchors[k].mName.CStr(), want.anchors[k].name.c_str());
            EXPECT_EQ(frame.mAnchors[k].mX, want.anchors[k].x);
            EXPECT_EQ(frame.mAnchors[k].mY, want.anchors[k].y);
        }
        maxWidth = std::max(maxWidth, want.w);
        maxHeight = std::max(maxHeight, want.h);
    }
    EXPECT_EQ(anim.mMaxFrameWidth, maxWidth);
    EXPECT_EQ(anim.mMaxFrameHeight, maxHeight);
    const std::string script = desc.script.value_or(
        TAnimatedTexture::MakeDefaultScript(static_cast<int>(desc.frames.size())).CStr());
    EXPECT_STREQ(anim.mScript.CStr(), script.c_str());
}

class AnimatedTextureTest : public texture_test::TTextureTest {
protected:
    void SetUp() override {
        TTextureTest::SetUp();
        SetAssetManager(&mAssets);
    }

    void TearDown() override {
        TTextureTest::TearDown();
        SetAssetManager(nullptr);
    }

    // A 640 x 480 display cleared to `background`, a frame and a 2-D block open; alpha
    // blending, texels unfiltered.
    TRenderer& BeginFrame(D3DCOLOR background = 0xFF000000) {
        if (TRenderer::Existing() == nullptr) {
            OpenDisplay(32, 640, 480);
        }
        TRenderer& renderer = *TRenderer::Instance();
        EXPECT_TRUE(renderer.BeginDraw(0));
        Data().mDevice->Clear(0, nullptr, D3DCLEAR_TARGET, background, 1.0f, 0);
        EXPECT_TRUE(renderer.Begin2d());
        renderer.SetBlendMode(0);
        renderer.SetFiltering(0);
        return renderer;
    }

    standin::TScreenImage EndFrame() {
        TRenderer& renderer = *TRenderer::Instance();
        renderer.End2d();
        renderer.EndDraw(0);
        return standin::ReadSurface(Data().mScreenTarget);
    }

    static uint32_t At(const standin::TScreenImage& image, int x, int y) {
        return image.pixels[static_cast<size_t>(y) * image.width + x] & 0xFFFFFFu;
    }

    // The bounding box of the pixels that are not black; all zero when there are none.
    static TRect Covered(const standin::TScreenImage& image) {
        TRect box{image.width, image.height, 0, 0};
        for (int y = 0; y < image.height; ++y) {
            for (int x = 0; x < image.width; ++x) {
                if (At(image, x, y) != 0) {
                    box = TRect{std::min(box.left, x), std::min(box.top, y),
                                std::max(box.right, x + 1), std::max(box.bottom, y + 1)};
                }
            }
        }
        return box.right == 0 ? TRect{0, 0, 0, 0} : box;
    }

    TAssetManager mAssets;
};

std::string RectText(const TRect& r) {
    return str::FromFormat("{%d, %d, %d, %d}", r.left, r.top, r.right, r.bottom).CStr();
}

TEST_F(AnimatedTextureTest, BothFormsReadTheSameAnimation) {
    OpenDisplay();
    AddFile("anim/sheet.png", SheetPng());
    const TAnimDesc desc = WalkDesc();
    AddFile("anim/walk.anm", AnmFile(desc));
    AddFile("anim/walkx.xml", XmlFile(desc));
    TAnimatedTexturePtr chunked = TAnimatedTexture::Get("anim/walk");
    TAnimatedTexturePtr xml = TAnimatedTexture::Get("anim/walkx");
    ASSERT_TRUE(chunked);
    ASSERT_TRUE(xml);
    {
        SCOPED_TRACE("anm");
        ExpectMatches(desc, chunked->GetAnim());
    }
    {
        SCOPED_TRACE("xml");
        ExpectMatches(desc, xml->GetAnim());
    }
    EXPECT_STREQ(chunked->GetAnim().mPath.CStr(), "anim/walk");
    EXPECT_STREQ(chunked->GetAnim().mFolder.CStr(), "anim/");
    EXPECT_STREQ(chunked->GetClassName(), "TAnimatedTexture");
    EXPECT_TRUE(chunked->IsKindOf(TTexture::ClassId()));
    EXPECT_TRUE(chunked->IsKindOf(TAsset::ClassId()));
    // The sheet went on the surface with an alpha channel.
    EXPECT_TRUE(chunked->HasAlpha());
    EXPECT_EQ(chunked->GetData()->GetWidth(), 64);

    // One animation per key while it lives.
    EXPECT_STREQ(TAnimatedTexture::MakeKey("fx/spark", "", "").CStr(), "fx/spark::");
    EXPECT_EQ(TAnimatedTexture::Find("anim/walk::"), chunked);
    EXPECT_EQ(TAnimatedTexture::Get("anim/walk"), chunked);
    // A plain texture under the key is not an animation.
    EXPECT_TRUE(TTexture::Get("anim/sheet.png"));
    EXPECT_FALSE(TAnimatedTexture::Find("anim/sheet.png:tex"));
}

TEST_F(AnimatedTextureTest, NameSearch) {
    OpenDisplay();
    AddFile("anim/sheet.png", SheetPng());
    auto named = [](const char* name) {
        TAnimDesc desc = WalkDesc();
        desc.name = name;
        return desc;
    };
    struct TCase {
        const char* asked;
        std::vector<std::string> files;
        // Empty: the request fails.
        const char* read;
    };
    for (const TCase& c : {
             TCase{"anim/fire", {"anim/fire.xml"}, "xml"},
             TCase{"anim/fire", {"anim/fire.anm"}, "anm"},
             TCase{"anim/fire", {"anim/fire.anm", "anim/fire.xml"}, "xml"},
             TCase{"anim/fire.anm", {"anim/fire.anm", "anim/fire.xml"}, "anm"},
             // The extension test ignores case.
             TCase{"anim/fire.ANM", {"anim/fire.anm"}, "anm"},
             // Found as asked, but neither form by its name.
             TCase{"anim/fire", {"anim/fire", "anim/fire.xml"}, ""},
             TCase{"anim/fire", {}, ""},
         }) {
        SCOPED_TRACE(c.asked);
        for (const std::string& file : c.files) {
            const bool isXml = file.ends_with(".xml");
            AddFile(file, isXml ? XmlFile(named("xml")) : AnmFile(named("anm")));
        }
        const TAnimatedTexturePtr anim = TAnimatedTexture::Get(c.asked);
        if (*c.read == '\0') {
            EXPECT_FALSE(anim);
        } else {
            ASSERT_TRUE(anim);
            EXPECT_STREQ(anim->GetAnim().mName.CStr(), c.read);
        }
        for (const std::string& file : c.files) {
            RemoveFile(file);
        }
    }
}

TEST_F(AnimatedTextureTest, ImagesFromTheFolderOrAsNamedWithOverridesAndMasks) {
    OpenDisplay();
    TAnimDesc desc = WalkDesc();
    AddFile("fx/spark.anm", AnmFile(desc));
    AddFile("sheet.png", SheetPng(16, 16));
    // Not in the animation's folder: the name as it stands.
    TAnimatedTexturePtr spark = TAnimatedTexture::Get("fx/spark");
    ASSERT_TRUE(spark);
    EXPECT_EQ(spark->GetData()->GetWidth(), 16);
    AddFile("fx/sheet.png", SheetPng(64, 32));
    spark.reset();
    spark = TAnimatedTexture::Get("fx/spark");
    ASSERT_TRUE(spark);
    EXPECT_EQ(spark->GetData()->GetWidth(), 64);

    // Overrides replace the file's names and make another key.
    AddFile("fx/other.png", SheetPng(8, 8));
    AddFile("fx/mask.png", texture_test::SolidPng(8, 8, {0x80, 0, 0}));
    TAnimatedTexturePtr other = TAnimatedTexture::Get("fx/spark", "other.png", "mask.png");
    ASSERT_TRUE(other);
    EXPECT_NE(other, spark);
    EXPECT_EQ(TAnimatedTexture::Find("fx/spark:other.png:mask.png"), other);
    EXPECT_STREQ(other->GetAnim().mImageName.CStr(), "other.png");
    EXPECT_STREQ(other->GetAnim().mMaskName.CStr(), "mask.png");
    EXPECT_STREQ(other->GetData()->GetMaskName().CStr(), "fx/mask.png");
    EXPECT_TRUE(other->HasAlpha());

    // A mask that is nowhere fails the images, and with them the request.
    EXPECT_FALSE(TAnimatedTexture::Get("fx/spark", "", "gone.png"));
    // So does an image that is nowhere.
    EXPECT_FALSE(TAnimatedTexture::Get("fx/spark", "gone.png", ""));
}

TEST_F(AnimatedTextureTest, VersionOneSkipsFourFloatsAndHasNoAlphas) {
    OpenDisplay();
    AddFile("anim/sheet.png", SheetPng());
    TAnimDesc desc = WalkDesc();
    AddFile("anim/old.anm", AnmFile(desc, 1));
    TAnimatedTexturePtr anim = TAnimatedTexture::Get("anim/old");
    ASSERT_TRUE(anim);
    for (TFrameDesc& frame : desc.frames) {
        frame.alpha = 1.0f;
    }
    ExpectMatches(desc, anim->GetAnim());
}

TEST_F(AnimatedTextureTest, Scripts) {
    OpenDisplay();
    AddFile("anim/sheet.png", SheetPng());
    EXPECT_STREQ(TAnimatedTexture::MakeDefaultScript(0).CStr(),
                 "function DoAnim()\n    delay(60);\nend\n");
    const char* const threeFrames = "function DoAnim()\n    delay(60);\n    frames{1,2,3};\nend\n";
    TAnimDesc none = WalkDesc();
    none.script.reset();
    TAnimDesc given = WalkDesc();
    given.script = "go()";
    const std::string sequence = "<sequence><img name=\"sheet.png\"/><framelist><frame/>"
                                 "</framelist>";
    struct TCase {
        const char* file;
        TBytes bytes;
        const char* script;
    };
    for (const TCase& c : {
             TCase{"anim/a.anm", AnmFile(none), threeFrames},
             TCase{"anim/b.anm", AnmFile(given), "go()"},
             // Another tag where the script chunk would be.
             TCase{"anim/c.anm",
                   [&] {
                       TBytes bytes = AnmFile(none);
                       const TBytes tail = TAnmWriter().Tag("XTRA").String("go()").bytes;
                       bytes.insert(bytes.end(), tail.begin(), tail.end());
                       return bytes;
                   }(),
                   threeFrames},
             TCase{"anim/d.xml", XmlFile(none), threeFrames},
             TCase{"anim/e.xml", XmlFile(given), "go()"},
             TCase{"anim/f.xml", Text(sequence + "<script>go()</script></sequence>"), "go()"},
             TCase{"anim/g.xml",
                   Text(sequence + "<script luascript=\"a()\">go()</script></sequence>"), "a()"},
         }) {
        SCOPED_TRACE(c.file);
        AddFile(c.file, c.bytes);
        TAnimatedTexturePtr anim = TAnimatedTexture::Get(c.file);
        ASSERT_TRUE(anim);
        EXPECT_STREQ(anim->GetAnim().mScript.CStr(), c.script);
    }
}

TEST_F(AnimatedTextureTest, XmlFramesTakeWhatTheyLackFromTheFrameBefore) {
    OpenDisplay();
    AddFile("anim/sheet.png", SheetPng());
    AddFile("anim/inherit.xml",
            Text("<sequence name=\"n\">"
                 "<img regy=\"9\" w=\"64\" h=\"32\" name=\"sheet.png\"/>"
                 "<framelist>"
                 "<frame x=\"1\" w=\"4\" regy=\"6\" alpha=\"\" xform=\"1 2 3\"/>"
                 "<frame x=\"2\" regx=\"5\" regy=\"6\" xform=\"1 0 0 1 10 20\" alpha=\"0.5\"/>"
                 "<frame x=\"3\" h=\"7\"><anchor name=\"a\" x=\"1\" y=\"-2\"/>"
                 "<other/><anchor y=\"3\"/></frame>"
                 "<other/>"
                 "<frame x=\"4\" xform=\"2 0 0 2 1\" regx=\"\" regy=\"8\" alpha=\"x\"/>"
                 "</framelist></sequence>"));
    TAnimatedTexturePtr anim = TAnimatedTexture::Get("anim/inherit");
    ASSERT_TRUE(anim);
    const TAnimData& data = anim->GetAnim();
    // "regy" counts only with "regx".
    EXPECT_EQ(data.mImageRegY, 0);
    ASSERT_EQ(data.mFrames.size(), 4u);
    struct TWant {
        int x, regX, regY;
        float alpha;
        TTransform transform;
        size_t anchors;
    };
    const TTransform none = {TAnimFrame::kNoTransform, 0, 0, 0, 0, 0};
    const TTransform moved = {1, 0, 0, 1, 10, 20};
    const TWant want[] = {
        // Too few numbers in the first frame: no transform.
        {1, 0, 0, 1.0f, none, 0},
        {2, 5, 6, 0.5f, moved, 0},
        {3, 5, 6, 1.0f, moved, 2},
        {4, 5, 6, 0.0f, moved, 0},
    };
    for (size_t i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        const TAnimFrame& frame = data.mFrames[i];
        EXPECT_EQ(frame.mX, want[i].x);
        EXPECT_EQ(frame.mRegX, want[i].regX);
        EXPECT_EQ(frame.mRegY, want[i].regY);
        EXPECT_EQ(frame.mAlpha, want[i].alpha);
        EXPECT_EQ(std::to_array(frame.mTransform), want[i].transform);
        EXPECT_EQ(frame.mAnchors.size(), want[i].anchors);
    }
    EXPECT_STREQ(data.mFrames[2].mAnchors[0].mName.CStr(), "a");
    EXPECT_EQ(data.mFrames[2].mAnchors[0].mY, -2);
    EXPECT_EQ(data.mFrames[2].mAnchors[1].mName.Length(), 0);
    EXPECT_EQ(data.mFrames[2].mAnchors[1].mY, 3);
    EXPECT_EQ(data.mMaxFrameWidth, 4);
    EXPECT_EQ(data.mMaxFrameHeight, 7);
}

TEST_F(AnimatedTextureTest, XmlMessages) {
    OpenDisplay();
    AddFile("anim/sheet.png", SheetPng());
    struct TCase {
        const char* xml;
        std::vector<const char*> messages;
    };
    for (const TCase& c : {
             TCase{"<other/>", {"Animation anim/bad does not contain a sequence node"}},
             TCase{"<sequence><framelist><frame/></framelist></sequence>",
                   {"Animation anim/bad does not contain an img node"}},
             // Reading goes on after a missing image.
             TCase{"<sequence/>",
                   {"Animation anim/bad does not contain an img node",
                    "Animation anim/bad does not contain a framelist node"}},
             TCase{"<sequence><img name=\"sheet.png\"/><framelist><other/></framelist>"
                   "</sequence>",
                   {"Animation anim/bad does not contain any frames!"}},
         }) {
        SCOPED_TRACE(c.xml);
        AddFile("anim/bad.xml", Text(c.xml));
        const size_t logged = LogText().size();
        EXPECT_FALSE(TAnimatedTexture::Get("anim/bad"));
        const std::string log = LogText().substr(logged);
        size_t at = 0;
        for (const char* message : c.messages) {
            at = log.find(message, at);
            EXPECT_NE(at, std::string::npos) << message << "\n" << log;
        }
        EXPECT_EQ(static_cast<size_t>(std::count(log.begin(), log.end(), '\n')), c.messages.size())
            << log;
    }
}

// One frame, its anchor and a script: the base of the damaged files.
struct TAnmDamage {
    const char* name;
    // The three tags, four bytes each.
    const char* tags = "ANIMIMGNFRMS";
    // INT_MIN: the real value.
    int32_t nameLength = INT_MIN;
    int32_t frameCount = INT_MIN;
    int32_t anchorCount = INT_MIN;
    int32_t scriptLength = INT_MIN;
};

TBytes DamagedAnm(const TAnmDamage& damage) {
    auto value = [](int32_t damaged, int32_t real) { return damaged == INT_MIN ? real : damaged; };
    TAnmWriter out;
    out.Tag(damage.tags).Int(0).Int(2).Int(value(damage.nameLength, 4));
    out.bytes.insert(out.bytes.end(), {'n', 'a', 'm', 'e'});
    out.String("").Tag(damage.tags + 4).Int(0).Int(0).Int(8).Int(8).String("sheet.png").String("");
    out.Tag(damage.tags + 8).Int(value(damage.frameCount, 1));
    out.Int(0).Int(0).Int(0).Int(0).Int(8).Int(8).Float(1.0f);
    for (int i = 0; i < 6; ++i) {
        out.Float(1.0f);
    }
    out.String("f").Int(value(damage.anchorCount, 1)).Int(1).Int(2).String("a");
    out.Tag("SCRP").Int(value(damage.scriptLength, 2));
    out.bytes.insert(out.bytes.end(), {'g', 'o'});
    return out.bytes;
}

TEST_F(AnimatedTextureTest, DamagedChunkedFilesFailSilently) {
    OpenDisplay();
    AddFile("anim/sheet.png", SheetPng());
    AddFile("anim/fine.anm", DamagedAnm(TAnmDamage{"fine"}));
    const TAnimatedTexturePtr fine = TAnimatedTexture::Get("anim/fine");
    ASSERT_TRUE(fine);
    EXPECT_STREQ(fine->GetAnim().mName.CStr(), "name");
    EXPECT_STREQ(fine->GetAnim().mScript.CStr(), "go");
    ASSERT_EQ(fine->GetFrameCount(), 1);
    EXPECT_STREQ(fine->GetAnim().mFrames[0].mAnchors.at(0).mName.CStr(), "a");

    const std::vector<TAnmDamage> cases = {
        TAnmDamage{.name = "tag ANIM", .tags = "ANIXIMGNFRMS"},
        TAnmDamage{.name = "tag IMGN", .tags = "ANIMIMGXFRMS"},
        TAnmDamage{.name = "tag FRMS", .tags = "ANIMIMGNFRMX"},
        TAnmDamage{.name = "huge name", .nameLength = INT_MAX},
        TAnmDamage{.name = "name past the end", .nameLength = 200},
        TAnmDamage{.name = "huge frame count", .frameCount = INT_MAX},
        TAnmDamage{.name = "two frames in the room of one", .frameCount = 2},
        TAnmDamage{.name = "negative frame count", .frameCount = -1},
        TAnmDamage{.name = "huge anchor count", .anchorCount = 0x10000000},
        TAnmDamage{.name = "negative anchor count", .anchorCount = INT_MIN + 1},
        TAnmDamage{.name = "script past the end", .scriptLength = 3},
    };
    const size_t logged = LogText().size();
    for (const TAnmDamage& damage : cases) {
        SCOPED_TRACE(damage.name);
        AddFile("anim/bad.anm", DamagedAnm(damage));
        EXPECT_FALSE(TAnimatedTexture::Get("anim/bad"));
    }
    // Every cut before the end of the frames fails; after it, up to a whole tag, the default
    // script stands in.
    const TBytes whole = DamagedAnm(TAnmDamage{"whole"});
    const size_t framesEnd = whole.size() - 10;
    for (size_t size = 0; size < whole.size(); ++size) {
        SCOPED_TRACE(size);
        AddFile("anim/bad.anm", TBytes(whole.begin(), whole.begin() + size));
        const TAnimatedTexturePtr cut = TAnimatedTexture::Get("anim/bad");
        EXPECT_EQ(static_cast<bool>(cut), size >= framesEnd && size < framesEnd + 4);
        if (cut) {
            EXPECT_STREQ(cut->GetAnim().mScript.CStr(),
                         TAnimatedTexture::MakeDefaultScript(1).CStr());
        }
    }
    EXPECT_EQ(LogText().size(), logged);

    // A length below 0 is an empty string.
    TBytes negative = DamagedAnm(TAnmDamage{"negative name"});
    const TBytes minusOne = TAnmWriter().Int(-1).bytes;
    negative.erase(negative.begin() + 12, negative.begin() + 20);
    negative.insert(negative.begin() + 12, minusOne.begin(), minusOne.end());
    AddFile("anim/neg.anm", negative);
    const TAnimatedTexturePtr unnamed = TAnimatedTexture::Get("anim/neg");
    ASSERT_TRUE(unnamed);
    EXPECT_EQ(unnamed->GetAnim().mName.Length(), 0);
}

TEST_F(AnimatedTextureTest, FrameRectsAndSizes) {
    OpenDisplay();
    AddFile("anim/sheet.png", SheetPng());
    TAnimDesc desc = WalkDesc();
    desc.frames.push_back(TFrameDesc{"far", INT_MAX - 5, -7, 10, 3, 0, 0});
    desc.frames.push_back(TFrameDesc{"last", 4, 5, 6, 7, 0, 0});
    AddFile("anim/five.anm", AnmFile(desc));
    TAnimatedTexturePtr anim = TAnimatedTexture::Get("anim/five");
    ASSERT_TRUE(anim);
    ASSERT_EQ(anim->GetFrameCount(), 5);
    struct TCase {
        int index;
        TRect want;
    };
    for (const TCase& c : {
             TCase{0, TRect{0, 0, 32, 32}},
             TCase{2, TRect{48, 0, 64, 40}},
             // The right edge stops at the largest 32-bit value.
             TCase{3, TRect{INT_MAX - 5, -7, INT_MAX, -4}},
             TCase{4, TRect{4, 5, 10, 12}},
             TCase{5, TRect{0, 0, 0, 0}},
             TCase{-1, TRect{0, 0, 0, 0}},
         }) {
        EXPECT_EQ(RectText(anim->GetFrameRect(c.index)), RectText(c.want)) << c.index;
    }
    // The sizes are the current frame's.
    EXPECT_EQ(anim->GetWidth(), 32);
    anim->SetCurrentFrame(2);
    EXPECT_EQ(anim->GetWidth(), 16);
    EXPECT_EQ(anim->GetHeight(), 40);
    for (int outside : {-1, 5}) {
        anim->SetCurrentFrame(outside);
        EXPECT_EQ(anim->GetWidth(), 0);
        EXPECT_EQ(anim->GetHeight(), 0);
    }
}

// Where a frame lands: registration points (mirrored by the flips), the descriptor's own origin,
// the frame's transform before the descriptor's, source rectangles moved into the frame.
TEST_F(AnimatedTextureTest, FramePlacement) {
    AddFile("anim/sheet.png", SheetPng());
    TAnimDesc desc;
    desc.frames = {
        TFrameDesc{"wide", 0, 0, 40, 20, 10, 5},
        TFrameDesc{"moved", 40, 0, 20, 20, 0, 0, 1.0f, TTransform{1, 0, 0, 1, 10, 0}},
        TFrameDesc{"empty", 0, 20, 0, 10, 0, 0},
    };
    AddFile("anim/place.anm", AnmFile(desc));
    OpenDisplay(32, 640, 480);
    TAnimatedTexturePtr anim = TAnimatedTexture::Get("anim/place");
    ASSERT_TRUE(anim);
    struct TCase {
        const char* name;
        int frame;
        uint32_t flags;
        float scale;
        std::optional<TRect> source;
        TRect want;
    };
    using S = TDrawSpec;
    const TRect nothing{0, 0, 0, 0};
    for (const TCase& c : {
             TCase{"registration point", 0, 0, 1.0f, std::nullopt, TRect{190, 95, 230, 115}},
             TCase{"mirrored x: origin x 30", 0, S::kFlipX, 1.0f, std::nullopt,
                   TRect{170, 95, 210, 115}},
             TCase{"mirrored y: origin y 15", 0, S::kFlipY, 1.0f, std::nullopt,
                   TRect{190, 85, 230, 105}},
             TCase{"own origin", 0, S::kUseOrigin, 1.0f, std::nullopt, TRect{200, 100, 240, 120}},
             // (corner + (10, 0)) x 2 + (200, 100).
             TCase{"frame transform first", 1, 0, 2.0f, std::nullopt, TRect{220, 100, 260, 140}},
             // {5, 5, 100, 12} + (40, 0) cut to {40, 0, 60, 20}: {45, 5, 60, 12}.
             TCase{"source moved and cut", 1, S::kUseSrcRect, 1.0f, TRect{5, 5, 100, 12},
                   TRect{210, 100, 225, 107}},
             TCase{"source outside the frame", 0, S::kUseSrcRect, 1.0f, TRect{50, 0, 60, 10},
                   nothing},
             TCase{"width 0", 2, 0, 1.0f, std::nullopt, nothing},
             TCase{"no frame -1", -1, 0, 1.0f, std::nullopt, nothing},
             TCase{"no frame 3", 3, 0, 1.0f, std::nullopt, nothing},
         }) {
        SCOPED_TRACE(c.name);
        BeginFrame();
        anim->SetCurrentFrame(c.frame);
        TDrawSpec params(TVec2(200, 100), 1.0f, c.scale, c.flags);
        if (c.source) {
            params.mSrcRect = *c.source;
        }
        anim->Draw(params);
        const standin::TScreenImage image = EndFrame();
        const TRect box = Covered(image);
        EXPECT_EQ(RectText(box), RectText(c.want));
        if (c.source && c.want.right != 0) {
            EXPECT_EQ(At(image, c.want.left + 2, c.want.top + 2), SheetPixel(47, 7));
        }
    }
    // DrawAt goes through the frame too.
    BeginFrame();
    anim->SetCurrentFrame(0);
    anim->DrawAt(200, 100, 1.0f, 1.0f, 0.0f, S::kFlipX);
    const TRect box = Covered(EndFrame());
    EXPECT_EQ(RectText(box), RectText(TRect{170, 95, 210, 115}));

    // A file with no frames loads; it has no size and draws nothing.
    AddFile("anim/none.anm", AnmFile(TAnimDesc()));
    TAnimatedTexturePtr none = TAnimatedTexture::Get("anim/none");
    ASSERT_TRUE(none);
    EXPECT_EQ(none->GetFrameCount(), 0);
    EXPECT_EQ(none->GetWidth(), 0);
    EXPECT_EQ(none->GetHeight(), 0);
    BeginFrame();
    none->Draw(TDrawSpec(TVec2(100, 100), 1.0f, 1.0f, 0));
    none->DrawAt(100, 100, 1.0f, 1.0f, 0.0f, 0);
    EXPECT_EQ(RectText(Covered(EndFrame())), RectText(nothing));
}

// Four frames of one sheet, each drawn plain, mirrored in x, in y and in both, then at twice the
// size and half the alpha; one frame is turned by its own transform, two have alphas of their
// own.
TEST_F(AnimatedTextureTest, GoldenFrames) {
    AddFile("anim/sheet.png", SheetPng());
    TAnimDesc desc;
    const float c = std::cos(std::numbers::pi_v<float> / 6.0f);
    const float s = std::sin(std::numbers::pi_v<float> / 6.0f);
    desc.frames = {
        TFrameDesc{"body", 0, 0, 32, 32, 16, 32},
        TFrameDesc{"half", 32, 0, 16, 16, 0, 0, 0.5f},
        TFrameDesc{"turned", 48, 0, 16, 32, 8, 16, 1.0f, TTransform{c, s, -s, c, 0, 0}},
        TFrameDesc{"faint", 32, 16, 16, 16, 4, 4, 0.25f},
    };
    AddFile("anim/hero.anm", AnmFile(desc));
    OpenDisplay(32, 640, 480);
    TAnimatedTexturePtr anim = TAnimatedTexture::Get("anim/hero");
    ASSERT_TRUE(anim);
    BeginFrame(0xFF304050);
    const uint32_t flips[] = {0, TDrawSpec::kFlipX, TDrawSpec::kFlipY,
                              TDrawSpec::kFlipX | TDrawSpec::kFlipY};
    for (int frame = 0; frame < 4; ++frame) {
        anim->SetCurrentFrame(frame);
        const float x = 60.0f + 140.0f * static_cast<float>(frame);
        for (int row = 0; row < 4; ++row) {
            anim->DrawAt(x, 80.0f + 80.0f * static_cast<float>(row), 1.0f, 1.0f, 0.0f, flips[row]);
        }
        anim->DrawAt(x + 60.0f, 240.0f, 0.5f, 2.0f, 0.0f, 0);
    }
    const standin::TScreenImage image = EndFrame();
    // Frame 0 hangs from its registration point (16, 32) at (60, 80): sheet (3, 5) at (47, 53).
    EXPECT_EQ(At(image, 44 + 3, 48 + 5), SheetPixel(3, 5));
    // Mirrored in x, at (60, 160): the registration point stays, the pixels turn.
    EXPECT_EQ(At(image, 44 + 3, 128 + 5), SheetPixel(28, 5));
    // Mirrored in y, at (60, 240): origin y 32 - 32 = 0, so the frame hangs below the point.
    EXPECT_EQ(At(image, 44 + 3, 240 + 5), SheetPixel(3, 26));
    // Frame 1 at alpha 0.5 (byte 127) over the background, at (200, 80): sheet (35, 5).
    const uint32_t half = At(image, 200 + 3, 80 + 5);
    EXPECT_NEAR(static_cast<int>(half >> 16), (140 * 127 + 0x30 * 128) / 255, 2);
    EXPECT_NEAR(static_cast<int>(half >> 8 & 0xFF), (40 * 127 + 0x40 * 128) / 255, 2);
    // Frame 3 at 0.25 of the alpha (byte 63) at (480, 80), from (476, 76): sheet (33, 17).
    const uint32_t faint = At(image, 476 + 1, 76 + 1);
    EXPECT_NEAR(static_cast<int>(faint >> 16), (132 * 63 + 0x30 * 192) / 255, 2);
    EXPECT_NEAR(static_cast<int>(faint >> 8 & 0xFF), (136 * 63 + 0x40 * 192) / 255, 2);
    EXPECT_EQ(At(image, 5, 470), 0x304050u);
    ExpectGolden(image, "animatedtexture_frames.png");
}

} // namespace

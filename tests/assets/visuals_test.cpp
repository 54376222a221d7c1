// The contest's art in the asset folder: every visual-object file of "xml/" loads through the
// visual-object factory with the states and children game code sets by name, each state showing
// frames of a loaded image; the looks of the award and statistics windows; every image decodes as
// a texture; the particle scripts run in a particle window; golden frames of the girls, the
// stations, the doors and the judges on the 800 x 600 game screen.

#include "engine/media/particlecollection.h"
#include "engine/media/texture.h"
#include "game/visual/GVChilds.h"
#include "game/visual/GVEffects.h"
#include "game/visual/GVFactory.h"
#include "game/visual/GVFrames.h"
#include "game/visual/GVLayer.h"
#include "game/visual/GVObject.h"
#include "game/visual/GVState.h"
#include "game/visual/GVStates.h"
#include "game/visual/GVTextures.h"
#include "game/visual/TPSimple.h"
#include "game/world/GStateKey.h"
#include "tests/assets/assets_fixture.h"
#include "tests/engine/ui/manager_fixture.h"
#include "tests/fixtures/golden.h"
#include "tests/game/visual/layer_frame.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <regex>
#include <set>
#include <string>
#include <vector>

namespace assets_test {
namespace {

namespace fs = std::filesystem;
using testing_fixtures::SourceDir;

GStateKey Key(const std::string& name) {
    return GStateKey::FromString(name.c_str());
}

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The files below assets/`folder` with the extension, by their path from there.
std::set<std::string> AssetFiles(const std::string& folder, const std::string& extension) {
    std::set<std::string> files;
    const fs::path root = SourceDir() / "assets" / folder;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        if (entry.is_regular_file() && entry.path().extension() == extension) {
            files.insert(entry.path().lexically_relative(root).generic_string());
        }
    }
    return files;
}

// Every first group of the pattern's matches in the visual-object files.
std::set<std::string> NamedInVisuals(const std::regex& pattern) {
    std::set<std::string> names;
    for (const std::string& file : AssetFiles("xml", ".xml")) {
        const std::string text = ReadFile(SourceDir() / "assets/xml" / file);
        for (std::sregex_iterator match(text.begin(), text.end(), pattern), end; match != end;
             ++match) {
            names.insert((*match)[1]);
        }
    }
    return names;
}

void Append(std::vector<std::string>& to, const std::vector<std::string>& names) {
    to.insert(to.end(), names.begin(), names.end());
}

// prefix + 0 to 9.
std::vector<std::string> Digits(const std::string& prefix) {
    std::vector<std::string> names;
    for (int d = 0; d <= 9; ++d) {
        names.push_back(prefix + std::to_string(d));
    }
    return names;
}

const std::vector<std::string> kUpgradable = {
    "normal",         "upgrade_0",    "upgrade_1",    "upgrade_2",  "upgrade_3",  "showrecomended",
    "hiderecomended", "showhotplace", "hidehotplace", "showaccept", "showupgrade"};

// What the girl's poise display and her wishes set on the marks every girl shares.
std::vector<std::string> MarksStates() {
    std::vector<std::string> names = {"poise_hide",        "poise_plus",
                                      "desire_hide",       "makeup_icon",
                                      "hairstyle_icon",    "highlight_makeup_icon",
                                      "hide_number",       "highlight_hairstyle_icon",
                                      "value2_hide",       "particles_happy",
                                      "particles_happy_xl"};
    for (int i = 0; i < 5; ++i) {
        const std::string heart = "poise_" + std::to_string(i);
        for (const char* suffix : {"_0", "_0_expl", "_1_l", "_1_l_b", "_2", "_2_l", "_2_l_b"}) {
            names.push_back(heart + suffix);
        }
    }
    Append(names, Digits("value1_"));
    Append(names, Digits("value2_"));
    return names;
}

// What the girl's class and the award and statistics windows set on her, marks included.
std::vector<std::string> GirlStates() {
    std::vector<std::string> names = {"stay_right",
                                      "zoom_invisible",
                                      "lips_happy_01",
                                      "girl_invisible",
                                      "hair_stay_right_100",
                                      "dress_stay_right_100",
                                      "hair_lips_happy_01_100",
                                      "accesories_0",
                                      "accesories_1",
                                      "accesories_2",
                                      "check_on",
                                      "check_hide",
                                      "lips_happy_xl_01",
                                      "lips_sad_03"};
    Append(names, Digits("value_"));
    Append(names, MarksStates());
    return names;
}

std::vector<std::string> JudgesStates() {
    std::vector<std::string> names = {"judges_idle",    "invisible",    "judges_sad",
                                      "judges_neutral", "judges_happy", "judges_happy_xl"};
    for (int n = 1; n <= 3; ++n) {
        Append(names, Digits("judges_" + std::to_string(n) + "_score_"));
    }
    return names;
}

std::vector<std::string> Plus(std::vector<std::string> names,
                              const std::vector<std::string>& more) {
    Append(names, more);
    return names;
}

struct TVisualCase {
    std::string path;
    std::vector<std::string> states;
    // Paths of children by id, '/' between the levels.
    std::vector<std::string> children;
};

const char* const kGirlTypes[] = {"cheerleader", "braniac", "girl_next_door", "singer",
                                  "dancer",      "gymnast", "aristocrat",     "southern_belle"};

std::vector<TVisualCase> VisualCases() {
    std::vector<TVisualCase> cases;
    for (const char* type : kGirlTypes) {
        cases.push_back({type,
                         GirlStates(),
                         {"check_obj/check/check1", "number1", "number2", "marks/girl_marks"}});
    }
    for (const char* path : {"assistant", "hair_seat", "makeup_seat", "prep_queue", "judging_place",
                             "girl_upgrade", "pacifier_container"}) {
        cases.push_back({path, kUpgradable, {}});
    }
    cases.push_back({"judging_door",
                     Plus(Plus(kUpgradable, {"open", "close", "hide_number"}), Digits("value_")),
                     {"number1", "number2"}});
    cases.push_back({"girl_marks", MarksStates(), {"heart0", "heart4", "desire"}});
    cases.push_back({"heroine", {"normal", "bless", "last_bless"}, {}});
    cases.push_back({"entrance_door", {"normal", "open"}, {}});
    cases.push_back({"pacifier",
                     {"upgrade_0", "upgrade_1", "upgrade_2", "upgrade_3", "upgrade_2_0",
                      "upgrade_3_0", "show_fx", "hide_fx", "invisible"},
                     {}});
    cases.push_back({"power_meter", {"normal", "check_hide"}, {}});
    cases.push_back({"judging_scene", {"normal", "show"}, {}});
    cases.push_back({"judges", JudgesStates(), {}});
    // The placeholder hall's plain objects.
    for (const char* path : {"mirror", "plant", "podium", "sofa"}) {
        cases.push_back({path, {"normal"}, {}});
    }
    return cases;
}

// The objects of the tree, the root first.
std::vector<GVObject*> Tree(GVObject* root) {
    std::vector<GVObject*> objects = {root};
    for (size_t i = 0; i < objects.size(); ++i) {
        const GVChilds* childs = objects[i]->GetChilds();
        for (int k = 0; childs != nullptr && k < childs->Count(); ++k) {
            objects.push_back(childs->At(k));
        }
    }
    return objects;
}

class TDemoVisualsTest : public TDemoAssetsTest {
protected:
    void SetUp() override {
        TDemoAssetsTest::SetUp();
        OpenDisplay(800, 600);
        GVFactory& factory = GVFactory::Instance();
        factory.ClearCache();
        factory.SetObjectFolder("xml/");
        factory.SetTextureFolder("anim/");
        factory.SetCurrentLayer(&mLayer);
    }

    void TearDown() override {
        mObjects.clear();
        GVFactory::Instance().ClearCache();
        GVFactory::Instance().SetCurrentLayer(nullptr);
        // A failing script or file says so only in the log.
        const std::string log = LogText();
        EXPECT_EQ(log.find("rror"), std::string::npos) << log;
        TDemoAssetsTest::TearDown();
    }

    // A clone of the path with its feet (or centre) at (x, y); the fixture owns it.
    GVObject* Place(const std::string& path, float x, float y) {
        GVObject* object = GVFactory::Instance().CreateByPath(path.c_str(), true);
        if (object != nullptr) {
            mObjects.emplace_back(object);
            object->mDeltaX = x;
            object->mDeltaY = y;
            object->MarkChanged();
        }
        return object;
    }

    // As the award and statistics windows apply a girl's look.
    static void ApplyLook(GVObject* girl, const std::string& state, int hair, int dress,
                          int accessories) {
        girl->SetState(Key(state), true);
        girl->SetState(Key("hair_" + state + "_" + std::to_string(hair)), true);
        girl->SetState(Key("dress_" + state + "_" + std::to_string(dress)), true);
        girl->SetState(Key("accesories_" + std::to_string(accessories)), true);
        if (state == "girl_invisible" || state == "zoom_invisible") {
            girl->SetState(Key(state), true);
        }
    }

    // The draw list over a back buffer cleared to the colour, read back; point sampling, so that
    // pixels can be checked against the images' texels.
    standin::TScreenImage DrawFrame(D3DCOLOR background) {
        return visual_test::DrawLayerFrame(mLayer, background);
    }

    static uint32_t At(const standin::TScreenImage& image, int x, int y) {
        return image.pixels[static_cast<size_t>(y) * static_cast<size_t>(image.width) +
                            static_cast<size_t>(x)] &
               0xFFFFFFu;
    }

    static void ExpectGolden(const standin::TScreenImage& image, const std::string& name) {
        testing_fixtures::ExpectGolden(image, "tests/assets/golden/" + name);
    }

    GVLayer mLayer;
    std::vector<std::unique_ptr<GVObject>> mObjects;
};

TEST_F(TDemoVisualsTest, EveryObjectLoadsWithTheStatesAndChildrenGameCodeSetsByName) {
    std::set<std::string> tested;
    for (const TVisualCase& item : VisualCases()) {
        SCOPED_TRACE(item.path);
        tested.insert(item.path + ".xml");
        GVObject* object = Place(item.path, 400, 300);
        ASSERT_NE(object, nullptr);
        const std::vector<GVObject*> tree = Tree(object);
        for (const std::string& name : item.states) {
            SCOPED_TRACE(name);
            const GStateKey key = Key(name);
            int found = 0;
            for (const GVObject* part : tree) {
                const GVState* state =
                    part->GetStates() != nullptr ? part->GetStates()->Find(key) : nullptr;
                if (state == nullptr) {
                    continue;
                }
                ++found;
                // Something to show: frames of the object's list, each cut from a loaded image.
                ASSERT_GT(state->GetFrameCount(), 0) << Text(part->GetId());
                for (const int number : state->mFrames) {
                    const GVFrame* frame = part->GetFrames()->At(number);
                    ASSERT_NE(frame, nullptr) << Text(part->GetId()) << " frame " << number;
                    EXPECT_FALSE(frame->mEmpty);
                    EXPECT_NE(part->GetTextures()->TextureAt(frame->mTexture), nullptr);
                }
            }
            EXPECT_GT(found, 0) << "no part of the object has the state";
        }
        for (const std::string& path : item.children) {
            SCOPED_TRACE(path);
            GVObject* child = object;
            for (size_t at = 0; child != nullptr && at != std::string::npos;) {
                const size_t slash = path.find('/', at);
                child = child->GetChild(path.substr(at, slash - at).c_str());
                at = slash == std::string::npos ? slash : slash + 1;
            }
            EXPECT_NE(child, nullptr);
        }
    }
    EXPECT_EQ(tested, AssetFiles("xml", ".xml")) << "every object file is in the table";
}

TEST_F(TDemoVisualsTest, TheAwardLookShowsTheWholeGirlAndTheStatisticsLookHerFaceAlone) {
    const auto visible = [](GVObject* girl, const char* path) {
        GVObject* part = girl;
        std::string rest = path;
        for (size_t slash = 0; part != nullptr && !rest.empty();) {
            slash = rest.find('/');
            part = part->GetChild(rest.substr(0, slash).c_str());
            rest = slash == std::string::npos ? "" : rest.substr(slash + 1);
        }
        EXPECT_NE(part, nullptr) << path;
        return part != nullptr && part->GetWorldData().mVisible != 0;
    };
    const char* const parts[] = {"girl", "girl/hair", "girl/dress", "girl/lips",
                                 "zoom", "zoom/hair", "zoom/lips",  "marks/girl_marks/heart0"};
    GVObject* award = Place("singer", 200, 300);
    GVObject* statistics = Place("gymnast", 600, 300);
    ASSERT_NE(award, nullptr);
    ASSERT_NE(statistics, nullptr);
    for (const char* state : {"stay_right", "zoom_invisible", "poise_hide"}) {
        ApplyLook(award, state, 100, 100, 0);
    }
    for (const char* state : {"stay_right", "lips_happy_01", "girl_invisible", "poise_hide"}) {
        ApplyLook(statistics, state, 100, 100, 0);
    }
    mLayer.UpdateObjects();
    const bool awardShown[] = {true, true, true, true, false, false, false, false};
    const bool statisticsShown[] = {false, false, false, false, true, true, true, false};
    for (size_t i = 0; i < std::size(parts); ++i) {
        SCOPED_TRACE(parts[i]);
        EXPECT_EQ(visible(award, parts[i]), awardShown[i]);
        EXPECT_EQ(visible(statistics, parts[i]), statisticsShown[i]);
    }
}

TEST_F(TDemoVisualsTest, EveryImageDecodesAndEveryImageAnObjectNamesExists) {
    int count = 0;
    for (const std::string& file : AssetFiles("", ".png")) {
        SCOPED_TRACE(file);
        const TTexturePtr texture = TTexture::Get(file.c_str(), 0);
        ASSERT_TRUE(texture);
        EXPECT_GT(texture->GetWidth(), 0);
        ++count;
    }
    EXPECT_GT(count, 0);
    const std::set<std::string> images = AssetFiles("anim", ".png");
    const std::set<std::string> named = NamedInVisuals(std::regex("<img name=\"([^\"]+)\""));
    EXPECT_FALSE(named.empty());
    for (const std::string& name : named) {
        EXPECT_EQ(images.count(name), 1u) << "anim/" << name;
    }
}

// The game screen's stage colour behind the golden frames.
constexpr D3DCOLOR kStage = 0xFF3A2A48;

TEST_F(TDemoVisualsTest, TheEightGirlTypesStandSideBySideEachInALookOfHerOwn) {
    struct TLook {
        int hair;
        int dress;
        int accessories;
    };
    const TLook looks[] = {{100, 100, 0}, {101, 101, 1}, {102, 102, 2}, {103, 100, 1},
                           {100, 102, 2}, {101, 100, 0}, {102, 101, 2}, {103, 102, 1}};
    for (int i = 0; i < 8; ++i) {
        GVObject* girl = Place(kGirlTypes[i], 50.0f + 100.0f * static_cast<float>(i), 200.0f);
        ASSERT_NE(girl, nullptr) << kGirlTypes[i];
        ApplyLook(girl, "stay_right", looks[i].hair, looks[i].dress, looks[i].accessories);
    }
    // Below them the singer's face as the statistics window shows her.
    GVObject* face = Place("singer", 400.0f, 480.0f);
    ASSERT_NE(face, nullptr);
    for (const char* state : {"stay_right", "lips_happy_01", "girl_invisible", "poise_hide"}) {
        ApplyLook(face, state, 102, 100, 0);
    }
    const standin::TScreenImage image = DrawFrame(kStage);
    // A girl's cell is 48 x 88 with her feet at (24, 86), drawn texel for texel: cell (cx, cy)
    // of the girl at (x, 200) lands on (x - 24 + cx, 114 + cy).
    // The cheerleader's knee-length dress at cell (24, 52), well inside its shape: #e53950.
    EXPECT_EQ(At(image, 50, 166), 0xE53950u);
    // Her leg below it, cell (21, 70): skin #f6d2b4.
    EXPECT_EQ(At(image, 47, 184), 0xF6D2B4u);
    // The braniac's hair cap, cell (24, 9): #5b3a21; her gown reaches her ankles, cell (24, 78),
    // where its trim runs down the middle: #c5cae9.
    EXPECT_EQ(At(image, 150, 123), 0x5B3A21u);
    EXPECT_EQ(At(image, 150, 192), 0xC5CAE9u);
    // The girl next door's two-piece: the top is the trim colour #fff59d at cell (24, 36), the
    // skirt #66bb6a at cell (24, 52).
    EXPECT_EQ(At(image, 250, 150), 0xFFF59Du);
    EXPECT_EQ(At(image, 250, 166), 0x66BB6Au);
    // The face is drawn twice the size about each frame's registration point; her lips' point
    // lies (0, 12) below the face's centre (400, 408), so lips texel (x, y) covers the 2 x 2
    // pixels from (400 + 2 (x - 8), 420 + 2 (y - 4)). Texel (6, 4) lies inside the smile of
    // make-up 01: #e0609a. Texel (8, 5) has its lowest row of samples on the outline #7a0f3a:
    // 3/4 of #e0609a and 1/4 of #7a0f3a give #c74c82.
    EXPECT_EQ(At(image, 396, 420), 0xE0609Au);
    EXPECT_EQ(At(image, 397, 421), 0xE0609Au);
    EXPECT_EQ(At(image, 400, 422), 0xC74C82u);
    // Between two girls only the stage shows.
    EXPECT_EQ(At(image, 100, 150), 0x3A2A48u);
    ExpectGolden(image, "girls.png");
}

TEST_F(TDemoVisualsTest, TheStationsDoorsAndJudgesStandOnTheGameScreen) {
    const struct {
        const char* path;
        float x;
        float y;
        const char* state;
    } placed[] = {
        {"hair_seat", 80, 520, "upgrade_1"},        {"makeup_seat", 180, 520, "upgrade_2"},
        {"prep_queue", 290, 520, "upgrade_3"},      {"judging_place", 380, 420, "normal"},
        {"judging_place", 460, 420, "upgrade_3"},   {"girl_upgrade", 560, 520, "normal"},
        {"pacifier_container", 650, 520, "normal"}, {"pacifier", 650, 474, "upgrade_2"},
        {"power_meter", 750, 560, "progress_3"},    {"entrance_door", 60, 330, "normal"},
        {"judging_door", 620, 330, "upgrade_2"},    {"judging_scene", 400, 200, "show"},
        {"judges", 400, 170, "judges_happy"},       {"hair_seat", 260, 330, "showrecomended"}};
    GVObject* door = nullptr;
    GVObject* judges = nullptr;
    for (const auto& item : placed) {
        GVObject* object = Place(item.path, item.x, item.y);
        ASSERT_NE(object, nullptr) << item.path;
        object->SetState(Key(item.state), true);
        door = std::string(item.path) == "judging_door" ? object : door;
        judges = std::string(item.path) == "judges" ? object : judges;
    }
    // 45 girls wait: the door's tens and ones, as the door sets them.
    door->GetChild("number1")->SetState(Key("value_4"), true);
    door->GetChild("number2")->SetState(Key("value_5"), true);
    for (const char* score : {"judges_1_score_7", "judges_2_score_8", "judges_3_score_9"}) {
        judges->SetState(Key(score), true);
    }
    const standin::TScreenImage image = DrawFrame(kStage);
    // The door's digits are plates of 16 x 20 centred 8 left and right of (620, 254): the 4's
    // plate from (604, 244), its inside #fff8e1 at plate texel (3, 10) away from the glyph.
    EXPECT_EQ(At(image, 607, 254), 0xFFF8E1u);
    EXPECT_EQ(At(image, 623, 254), 0xFFF8E1u);
    // The judging door's gold look: its frame at cell (5, 50) #4e342e, its leaf at (40, 58)
    // #9575cd, from (580, 218).
    EXPECT_EQ(At(image, 585, 268), 0x4E342Eu);
    EXPECT_EQ(At(image, 620, 276), 0x9575CDu);
    // The lit stage (cell (120, 30) of its second look, #8e24aa) from (280, 152).
    EXPECT_EQ(At(image, 400, 182), 0x8E24AAu);
    ExpectGolden(image, "stations.png");
}

TEST_F(TDemoVisualsTest, TheParticleScriptsRunTwoSecondsInAParticleWindow) {
    const std::set<std::string> scripts = AssetFiles("particles", ".lua");
    EXPECT_EQ(scripts.count("bess_total_shine.lua"), 1u) << "the poise power's effect";
    for (const std::string& id : NamedInVisuals(std::regex("<Particles id=\"([^\"]+)\""))) {
        EXPECT_EQ(scripts.count(id + ".lua"), 1u) << "particles/" << id << ".lua";
    }
    Script()->RegisterWindowType("TPSimple", &TPSimple::Create);
    auto* dialog = new TModalWindow;
    dialog->SetName("dialog");
    dialog->SetSize(800, 600);
    Manager()->PushModal(dialog);
    for (const std::string& script : scripts) {
        SCOPED_TRACE(script);
        Script()->ResetCreationStack(dialog);
        Script()->DoLuaString(("(TPSimple{ name = 'fx', x = 300, y = 200, w = 200, h = 200, "
                               "FX_fly = 'particles/" +
                               script +
                               "', FX_LocalPos_X = 100, FX_LocalPos_Y = 150, "
                               "PlayFX_OnShow = true })()")
                                  .c_str());
        auto* window = static_cast<TPSimple*>(dialog->FindChild("fx", -1));
        ASSERT_NE(window, nullptr);
        ASSERT_TRUE(window->IsKindOf(TPSimple::ClassId()));
        // The effect scripts of visuals start on their OnStart; the screens' glows spawn while
        // their window holds gActive.
        window->DoLuaString("gActive = true; if OnStart then OnStart(1) end");
        int most = 0;
        for (int ms = 0; ms < 2000; ms += TPSimple::kAnimationMs) {
            standin::AdvanceTime(TPSimple::kAnimationMs);
            Manager()->HandleEvent(manager_test::MakeEvent(kEventIdle));
            most = std::max(most, window->GetParticles().GetCollection().GetLiveCount());
        }
        // A particle layer's default script makes none of its own: its emitters' particles show.
        if (script != "particle_fx9.lua") {
            EXPECT_GT(most, 0) << "it shows sparks";
        }
        Script()->DoLuaString("DestroyWindow('fx')");
        Manager()->HandleEvent(manager_test::MakeEvent(kEventIdle));
    }
}

TEST_F(TDemoVisualsTest, TheEffectsOfTheVisualsRunWhileTheirStatesShow) {
    // The draw list shows in a window of a dialog, as the game control's does, and its timers
    // run in the dialog's task list.
    auto* dialog = new TModalWindow;
    dialog->SetName("game");
    dialog->SetSize(800, 600);
    Manager()->PushModal(dialog);
    auto* control = new TWindow;
    dialog->AddChild(control, true);
    control->SetSize(800, 600);
    mLayer.SetWindow(control);
    const struct {
        const char* path;
        const char* part;
        const char* state;
    } cases[] = {{"heroine", "body", "bless"},
                 {"heroine", "body", "last_bless"},
                 {"pacifier", "body", "show_fx"},
                 {"singer", "marks", "particles_happy"},
                 {"singer", "marks", "particles_happy_xl"}};
    for (const auto& item : cases) {
        SCOPED_TRACE(item.state);
        GVObject* object = Place(item.path, 400, 300);
        ASSERT_NE(object, nullptr);
        GVObject* body = object->GetChild(item.part);
        // The girl's verdict shows on a child of her shared marks.
        if (body != nullptr && std::string(item.part) == "marks") {
            body = body->GetChild("girl_marks");
            body = body != nullptr ? body->GetChild("judging_fx") : nullptr;
        }
        ASSERT_NE(body, nullptr);
        object->SetState(Key(item.state), true);
        ASSERT_NE(body->GetEffects(), nullptr);
        EXPECT_EQ(body->GetEffects()->RunningCount(), 1);
        for (int ms = 0; ms < 3000; ms += 16) {
            standin::AdvanceTime(16);
            Manager()->HandleEvent(manager_test::MakeEvent(kEventIdle));
        }
        // The state has run out into one without effects.
        EXPECT_EQ(body->GetEffects()->RunningCount(), 0);
    }
}

} // namespace
} // namespace assets_test

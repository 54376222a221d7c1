// The screens that close a level, over a fixture game screen whose stage holds contestant girls of
// fixture types: the award, statistics and score windows and their separate layers are built in a
// dialog pushed over the game, as the end-of-level layouts are. Girls are a fixture class that the
// level counts as girls; their visuals are small coloured boxes, one colour per type.
#pragma once

#include "game/common/WindowKind.h"
#include "game/shell/GAwardWnd.h"
#include "game/shell/GLevelScoreValues.h"
#include "game/shell/GStatWnd.h"
#include "game/world/GGameObject.h"
#include "game/world/GSeparateLayer.h"
#include "tests/game/shell/gamewnd_fixture.h"

#include <string>
#include <vector>

namespace levelend_test {

using widget_test::Text;

// A girl as the level tells one; her type is her base type.
class TEndGirl : public GGameObject {
public:
    bool IsStudent() const override { return true; }
    GGameObject* Clone() const override {
        auto* copy = new TEndGirl;
        copy->CopyFrom(*this);
        return copy;
    }
};

inline const bool gEndGirlRegistered = GObjectFactory::Instance().RegisterObjectCreator(
    "EndGirl", [] { return static_cast<GGameObject*>(new TEndGirl); });

// A stage with the girls "girl00", "girl01" ... of the types in turn.
inline std::string GirlStage(int count, const std::vector<std::string>& types) {
    std::string hall;
    std::string data;
    for (int i = 0; i < count; ++i) {
        const std::string name = (i < 10 ? "girl0" : "girl") + std::to_string(i);
        hall += name + " = { included = true },\n";
        data += name + " = { name = '" + name + "', base_type = '" +
                types[static_cast<size_t>(i) % types.size()] + "' },\n";
    }
    std::string typeTable;
    for (const std::string& type : types) {
        typeTable += type + " = { class_name = 'EndGirl', base_type = '" + type + "' },\n";
    }
    return "LevelData = { level = { goal = 50, expert = 100 },\n"
           "  hall = { BaseType = 'types', BaseData = 'data',\n" +
           hall + "} }\nObjects = { types = {\n" + typeTable + "}, data = {\n" + data +
           "} }\nfunction LevelTimerFunc() end\n";
}

class TLevelEndTest : public gamewnd_test::TGameWndTest {
protected:
    void SetUp() override {
        TGameWndTest::SetUp();
        ASSERT_TRUE(gEndGirlRegistered);
        for (const auto& [name, create] :
             {std::pair{"GSeparateLayer", &GSeparateLayer::Create},
              std::pair{"GAwardWnd", &GAwardWnd::Create}, std::pair{"GStatWnd", &GStatWnd::Create},
              std::pair{"GLevelScoreValues", &GLevelScoreValues::Create}}) {
            Script()->RegisterWindowType(name, create);
        }
        AddFile(GGameData::kScriptFile, gamewnd_test::Bytes(gamewnd_test::kNoOffers));
        for (const auto& [type, rgb] :
             {std::pair{"cheerleader", 0xFF4080u}, std::pair{"dancer", 0x40FF80u}}) {
            AddFile(std::string("anim/") + type + ".png",
                    widget_test::PatternPng(20, 40, [rgb](int, int) { return rgb; }));
            AddFile(std::string("xml/") + type + ".xml",
                    gamewnd_test::Bytes(std::string("<main id=\"") + type +
                                        "\"><images><img name=\"" + type +
                                        ".png\"/></images><framelist><frame w=\"20\" h=\"40\"/>"
                                        "</framelist><states><state id=\"normal\" "
                                        "framelist=\"0\"/></states></main>"));
        }
    }

    void TearDown() override {
        CloseEndScreen();
        GLogicalManager::Instance().SetSeparateLayer(nullptr);
        TGameWndTest::TearDown();
    }

    // The game screen on a stage with the girls; false when the level did not load them.
    bool OpenLevel(int girls, const std::vector<std::string>& types = {"cheerleader"}) {
        AddFile(GLevel::kStageFile, gamewnd_test::Bytes(GirlStage(girls, types)));
        OpenScreen(R"(GGameWnd{ name = 'game_wnd', x = 0, y = 0, w = 800, h = 600,
  GGameCtrl{ name = 'game_ctrl', x = 0, y = 0, w = 800, h = 600 } })");
        return Level() != nullptr && static_cast<int>(Level()->GetGirlLooks().size()) == girls;
    }

    // The end screen's layout in a dialog over the game.
    void OpenEndScreen(const std::string& layout) {
        mEnd = PushDialog("level_end",
                          TRect{0, 0, widget_test::kScreenWidth, widget_test::kScreenHeight});
        Build(layout);
    }

    void CloseEndScreen() {
        if (mEnd != nullptr) {
            Manager()->DoPopModal("level_end");
            Send(gamewnd_test::MakeEvent(kEventIdle));
            mEnd = nullptr;
        }
    }

    TModalWindow* mEnd = nullptr;
};

} // namespace levelend_test

// The demo levels played through on the game harness from the first menu, as the player plays
// them: girls dragged to the seat and the judging places, clicked for the heroine, a part chosen
// in the selector, upgrades bought before the show. Each run checks the result, the score, the
// progress kept, the end screen, the level's music and that the game is heard.
#include "engine/media/soundmanager.h"
#include "engine/ui/slider.h"
#include "game/shell/GFlyText.h"
#include "game/world/GGameObject.h"
#include "game/world/GMusicPlayer.h"
#include "game/world/GPersonage.h"
#include "tests/assets/demo_play_fixture.h"
#include "tests/fixtures/golden.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace assets_test {
namespace {

using game_harness::Text;

class TDemoPlaythroughTest : public TDemoPlayTest {
protected:
    static GGameObject* Object(const std::string& name) {
        if (Level() == nullptr) {
            return nullptr;
        }
        for (GGameObject* object : Level()->GetObjects()) {
            if (Text(object->GetName()) == name) {
                return object;
            }
        }
        return nullptr;
    }

    static std::string Wish(const std::string& girl) {
        GGameObject* object = Object(girl);
        return object != nullptr ? Text(object->GetSceneName(0)) : "gone";
    }

    // Turns until the condition holds, at most `ms`; the frames are drawn only where the player
    // acts, where the hit tests need the objects' places of the last frame.
    static bool WaitFor(const std::function<bool()>& condition, DWORD ms) {
        Manager()->SetDrawingSuspended(true);
        for (DWORD passed = 0; passed < ms; passed += 100) {
            if (condition()) {
                return true;
            }
            if (!RunFor(100)) {
                return false;
            }
        }
        return condition();
    }

    // Input at a point `dy` above or below the object's foot.
    static std::string At(const std::string& name, int dy) {
        GGameObject* object = Object(name);
        EXPECT_NE(object, nullptr) << name;
        if (object == nullptr) {
            return "0 0";
        }
        return std::to_string(static_cast<int>(object->GetPosition().x)) + " " +
               std::to_string(static_cast<int>(object->GetPosition().y) + dy);
    }

    static void Act(const std::string& script) {
        Manager()->SetDrawingSuspended(false);
        ASSERT_TRUE(RunFor(100));
        ASSERT_TRUE(Play(script));
    }

    // The girl taken by her legs and dropped on the object: a girl waiting on the place above her
    // may come first among the objects, and the marks under her feet cover the lower girl's head.
    static void Drag(const std::string& girl, const std::string& onto, int dy) {
        const std::string from = At(girl, -30);
        const std::string to = At(onto, dy);
        Act("at 0: move " + from + "\nat 10: move " + from + "\nat 20: down " + from +
            "\nat 60: move " + to + "\nat 100: move " + to + "\nat 140: up " + to + "\n");
    }

    static void ClickAt(const std::string& name, int dy) {
        const std::string at = At(name, dy);
        Act("at 0: move " + at + "\nat 10: move " + at + "\nat 20: down " + at + "\nat 40: up " +
            at + "\n");
    }

    // The girl asking for her hair style: seated, clicked for the heroine, who comes and opens the
    // selector, the second part chosen; done when she asks for the judges.
    static void Style(const std::string& girl, const char* selectorGolden = nullptr) {
        ASSERT_TRUE(WaitFor([&] { return Wish(girl) == "hairstyle"; }, 40000)) << girl;
        Drag(girl, "hair_seat", -10);
        ASSERT_EQ(Wish(girl), "") << girl << " seated";
        ClickAt(girl, -50);
        ASSERT_TRUE(WaitFor([] { return Top() == "SelectorModalWindow"; }, 5000)) << girl;
        Manager()->SetDrawingSuspended(false);
        ASSERT_TRUE(RunFor(600, 30));
        if (selectorGolden != nullptr) {
            testing_fixtures::ExpectGolden(Frame(), selectorGolden);
        }
        Click("select_part_1");
        ASSERT_TRUE(WaitFor([&] { return Wish(girl).rfind("judging_", 0) == 0; }, 6000))
            << girl << " done";
    }

    // The girl dropped on the first free judging place.
    static void ToJudges(const std::string& girl) {
        std::string place;
        ASSERT_TRUE(WaitFor(
            [&] {
                for (const char* name : {"judging_place_1", "judging_place_2"}) {
                    if (Object(name) != nullptr && Object(name)->GetOccupant() == nullptr) {
                        place = name;
                        return true;
                    }
                }
                return false;
            },
            10000));
        Drag(girl, place, 0);
        ASSERT_EQ(Object(girl)->GetHolder(), Object(place)) << girl << " on " << place;
    }

    // Level 2 for a player whose first level was won with `score` (the money to spend): "Play",
    // the upgrades' introduction closed, the upgrade phase on.
    static void OpenLevelTwo(int score) {
        AddPlayer("Tester");
        ASSERT_TRUE(RunFor(800));
        Script()->DoLuaString(("LevelCompleted(1, " + std::to_string(score) + ", 1)").c_str());
        Click("play");
        ASSERT_EQ(Top(), "levels");
        Click("level_2");
        ASSERT_TRUE(RunFor(60, 30));
        ASSERT_EQ(Top(), "rule_upgrade");
        Key(13);
        ASSERT_EQ(Top(), "game");
        ASSERT_EQ(GameState(), 1) << "the upgrade phase";
    }

    static bool Ended() { return Level() != nullptr && Level()->GetResult() != 0; }

    // The level's music plays and the game is heard.
    static void ExpectMusicAndSound(int track) {
        EXPECT_EQ(GMusicPlayer::Instance()->GetCurrentTrack(), track);
        const std::vector<std::int16_t> sound = TakeSound(4410);
        EXPECT_TRUE(std::any_of(sound.begin(), sound.end(), [](std::int16_t s) { return s != 0; }));
    }
};

// The hall as the show starts: the level's background where no object stands, and no power
// button on the wall before level 3.
void ExpectLevelOneStart(const standin::TScreenImage& frame) {
    standin::TScreenImage background;
    ASSERT_TRUE(standin::ReadPng(
        (testing_fixtures::SourceDir() / "assets/backgrounds/level_01.png").string(), &background));
    for (const auto& [x, y] :
         {std::pair{30, 112}, std::pair{100, 170}, std::pair{400, 300}, std::pair{700, 580}}) {
        EXPECT_EQ(frame.pixels[y * 800 + x] & 0xFFFFFFu, background.pixels[y * 800 + x] & 0xFFFFFFu)
            << x << "," << y;
    }
    testing_fixtures::ExpectGolden(frame, "tests/assets/golden/level1_start.png");
}

TEST_F(TDemoPlaythroughTest, LevelOneWithEveryGirlServedReachesTheExpertScore) {
    RunGame([](TPlatform*, GGameMain&) {
        PlayLevel(1);
        ExpectLevelOneStart(Frame());
        ASSERT_NO_FATAL_FAILURE(Style("amber", "tests/assets/golden/level1_selector.png"));
        ASSERT_NO_FATAL_FAILURE(ToJudges("amber"));
        for (const char* girl : {"bianca", "clara"}) {
            ASSERT_NO_FATAL_FAILURE(Style(girl));
            ASSERT_NO_FATAL_FAILURE(ToJudges(girl));
        }
        ASSERT_TRUE(WaitFor(&Ended, 10000));
        GLevel* level = Level();
        EXPECT_EQ(level->GetResult(), 3);
        EXPECT_EQ(level->GetGirlsServed(), 3);
        EXPECT_EQ(level->GetGirlsLost(), 0);
        const int score = level->GetScore();
        // Three girls styled one after the other make a combo whose bonus adds to their points.
        EXPECT_GT(level->GetComboBonus(), 0);
        EXPECT_GE(score - level->GetComboBonus(), 100);
        EXPECT_LT(score - level->GetComboBonus(), 250);
        EXPECT_EQ(Top(), "level_stats");
        EXPECT_EQ(Shown("stats_title"), "Expert level complete!");
        EXPECT_EQ(Progress("gGlobalPlayerInfo.bestScores[1]"), score);
        EXPECT_EQ(Progress("gGlobalPlayerInfo.expert[1]"), 1.0);
        EXPECT_EQ(Progress("gGlobalPlayerInfo.lastLevel"), 2.0);
        ExpectMusicAndSound(0);
        // The counters run to the level's score.
        Manager()->SetDrawingSuspended(false);
        ASSERT_TRUE(RunFor(6000, 60));
        // No golden frame: the girl's line is drawn at random from her type's texts.
        EXPECT_EQ(Shown("beginner_goal_val"), "50");
        EXPECT_EQ(Shown("expert_goal_val"), "100");
        EXPECT_EQ(Shown("breakdowns_val"), "0");
        EXPECT_EQ(Shown("total_points_val"), std::to_string(score));
        EXPECT_EQ(Shown("new_money_val"), std::to_string(score));
    });
}

// One girl served reaches the goal; the two left alone lose heart and leave.
TEST_F(TDemoPlaythroughTest, LevelOneWithOneGirlServedReachesTheGoal) {
    RunGame([](TPlatform*, GGameMain&) {
        PlayLevel(1);
        ASSERT_NO_FATAL_FAILURE(Style("amber"));
        ASSERT_NO_FATAL_FAILURE(ToJudges("amber"));
        ASSERT_TRUE(WaitFor(&Ended, 90000));
        GLevel* level = Level();
        EXPECT_EQ(level->GetResult(), 2);
        EXPECT_EQ(level->GetGirlsServed(), 1);
        EXPECT_EQ(level->GetGirlsLost(), 2);
        EXPECT_GE(level->GetScore(), 50);
        EXPECT_LT(level->GetScore(), 100);
        EXPECT_EQ(Top(), "level_stats");
        EXPECT_EQ(Progress("gGlobalPlayerInfo.bestScores[1]"), level->GetScore());
        EXPECT_EQ(Progress("gGlobalPlayerInfo.expert[1]"), 0.0);
        ExpectMusicAndSound(0);
    });
}

TEST_F(TDemoPlaythroughTest, LevelTwoLeftAloneIsLostAndOffersToPlayAgain) {
    RunGame([](TPlatform*, GGameMain&) {
        ASSERT_NO_FATAL_FAILURE(OpenLevelTwo(150));
        Click("start_show");
        ASSERT_TRUE(RunFor(60, 30));
        ASSERT_EQ(Top(), "levelgoal");
        Key(13);
        ASSERT_EQ(GameState(), 2);
        ASSERT_TRUE(WaitFor(&Ended, 110000));
        GLevel* level = Level();
        EXPECT_EQ(level->GetResult(), 1);
        EXPECT_EQ(level->GetGirlsLost(), 5);
        EXPECT_EQ(level->GetScore(), 0);
        // The try-again screen opens at the seventh tick of the level's one-second timer.
        EXPECT_EQ(Top(), "game");
        ASSERT_TRUE(RunFor(5900, 100));
        EXPECT_EQ(Top(), "game");
        ASSERT_TRUE(WaitFor([] { return Top() == "level_try_again"; }, 1200));
        EXPECT_EQ(Progress("gGlobalPlayerInfo.bestScores[2] or 0"), 0.0);
        ExpectMusicAndSound(1);
    });
}

// Level 2 with the money of a won first level: the make-up seat and the assistant bought in the
// upgrade phase are booked in the progress and stay for the show.
TEST_F(TDemoPlaythroughTest, LevelTwoBoughtUpgradesAreKeptInTheProgress) {
    RunGame([](TPlatform*, GGameMain&) {
        ASSERT_NO_FATAL_FAILURE(OpenLevelTwo(300));
        for (const char* upgrade : {"makeup_seat", "assistant"}) {
            ClickAt(upgrade, -30);
            ASSERT_TRUE(RunFor(60, 30));
            ASSERT_EQ(Top(), "buy") << upgrade;
            Click("buy_ok");
            ASSERT_EQ(Top(), "game") << upgrade;
        }
        EXPECT_EQ(Progress("gGlobalPlayerInfo.money"), 50.0) << "300 less 100 and 150";
        EXPECT_EQ(Progress("GetUpgradeIndex('makeup_seat', 2)"), 1.0);
        EXPECT_EQ(Progress("GetUpgradeIndex('assistant', 2)"), 1.0);
        EXPECT_EQ(Progress("GetUpgradeIndex('pacifier_container', 2)"), 0.0);
        Click("start_show");
        ASSERT_TRUE(RunFor(60, 30));
        Key(13);
        ASSERT_EQ(GameState(), 2);
        EXPECT_NE(Object("makeup_seat"), nullptr);
        EXPECT_NE(Object("assistant"), nullptr);
        EXPECT_EQ(Object("girl_upgrade_1"), nullptr) << "not bought";
    });
}

// Level 3's first power: its button sets the heroine's speed for a while. The player has seen
// the level's tutorial, which would pause the show.
TEST_F(TDemoPlaythroughTest, LevelThreeEnergyPowerSpeedsTheHeroineUp) {
    RunGame([](TPlatform*, GGameMain&) {
        PlayLevel(3, true);
        EXPECT_EQ(Text(LogicalManager().GetTutorialFile()), "");
        TWindow* button = Find("energy_boost");
        ASSERT_NE(button, nullptr);
        ASSERT_NE(button->GetFlags() & TWindow::kEnabled, 0u) << "offered from level 3";
        Click("energy_boost");
        EXPECT_EQ(LogicalManager().GetPowerInUse(), 1);
        auto* heroine = dynamic_cast<GPersonage*>(Object("heroine"));
        ASSERT_NE(heroine, nullptr);
        EXPECT_EQ(heroine->ReadSpeed(), 320) << "the soda's speed";
        ASSERT_TRUE(WaitFor([] { return LogicalManager().GetPowerInUse() == 0; }, 11000));
        EXPECT_EQ(heroine->ReadSpeed(), 160) << "back after its ten seconds";
        ExpectMusicAndSound(2);
    });
}

// Level 4 with its two girls of the hair seat served (the make-up seat was never bought) and sent
// in through the judges' door: the goal is reached and, level 4 being an award level, the
// ceremony follows.
TEST_F(TDemoPlaythroughTest, LevelFourEndsWithTheAwardCeremony) {
    RunGame([](TPlatform*, GGameMain&) {
        PlayLevel(4);
        for (const char* girl : {"clara", "jade"}) {
            ASSERT_NO_FATAL_FAILURE(Style(girl));
            ASSERT_NO_FATAL_FAILURE(ToJudges(girl));
        }
        // The judges' door sends the waiting girls in.
        ClickAt("judging_door", -50);
        ASSERT_TRUE(WaitFor(&Ended, 90000));
        GLevel* level = Level();
        EXPECT_EQ(level->GetResult(), 2);
        EXPECT_EQ(level->GetGirlsServed(), 2);
        EXPECT_EQ(level->GetGirlsLost(), 2);
        EXPECT_GE(level->GetScore(), 120);
        EXPECT_EQ(Top(), "level_award");
        EXPECT_EQ(Progress("gGlobalPlayerInfo.bestScores[4]"), level->GetScore());
        ExpectMusicAndSound(3);
    });
}

} // namespace
} // namespace assets_test

namespace assets_test {
namespace {

// The game from an empty user folder: the first player named, a volume changed in the options and
// heard at once, the level choice, level 1 played to the expert score, the menu again, the
// hiscores listing the run's total, quit with yes; a second start welcomes the player, keeps the
// volume and offers the level reached.
TEST_F(TDemoPlaythroughTest, AFirstPlayerPlaysLevelOneAndFindsTheRunInTheHiscores) {
    int total = 0;
    RunGame([&total](TPlatform*, GGameMain&) {
        ASSERT_TRUE(RunFor(900));
        ASSERT_EQ(Top(), "newplayer");
        for (const char c : std::string("Ann")) {
            Key(c);
        }
        Key(13);
        ASSERT_EQ(Top(), "mainmenu");
        EXPECT_EQ(Shown("welcome"), "Welcome, Ann!");
        ExpectMusicAndSound(5);

        Click("options");
        ASSERT_EQ(Top(), "options");
        auto* music = static_cast<TSlider*>(Find("musiclevelslider"));
        ASSERT_NE(music, nullptr);
        EXPECT_FLOAT_EQ(music->GetValue(), 0.5f);
        music->SetValue(0.25f, false);
        EXPECT_FLOAT_EQ(TSoundManager::Get()->GetVolume(1001), 0.25f) << "heard at once";
        Key(13);
        ASSERT_EQ(Top(), "mainmenu");

        Click("play");
        ASSERT_EQ(Top(), "levels");
        EXPECT_FALSE(static_cast<GLevelJumpButton*>(Find("level_2"))->IsEnabled());
        Click("level_1");
        ASSERT_TRUE(RunFor(60, 30));
        for (int dialog = 0; dialog < 3 && Top() != "game"; ++dialog) {
            Key(13);
        }
        ASSERT_EQ(Top(), "game");
        ASSERT_EQ(GameState(), 2);
        for (const char* girl : {"amber", "bianca", "clara"}) {
            Style(girl);
            ToJudges(girl);
        }
        ASSERT_TRUE(WaitFor(&Ended, 10000));
        EXPECT_EQ(Level()->GetResult(), 3);
        ExpectMusicAndSound(0);
        ASSERT_EQ(Top(), "level_stats");
        ASSERT_TRUE(RunFor(6000, 60));
        Click("menu");
        ASSERT_EQ(Top(), "mainmenu");
        total = static_cast<int>(Progress("gGlobalPlayerInfo.totalScore"));
        EXPECT_GE(total, 100);

        Click("hiscores");
        ASSERT_EQ(Top(), "hiscores");
        EXPECT_EQ(Shown("name1"), "Ann");
        EXPECT_EQ(Shown("score1"), std::to_string(total));
        EXPECT_EQ(Shown("1"), "1.");
        Key(27);
        Click("quit");
        ASSERT_EQ(Top(), "quit_dialog");
        Key(13);
        EXPECT_FALSE(RunFor(200)) << "yes quits";
    });
    RunGame([&total](TPlatform*, GGameMain&) {
        ASSERT_TRUE(RunFor(900));
        ASSERT_EQ(Top(), "mainmenu") << "no new player is asked for";
        EXPECT_EQ(Shown("welcome"), "Welcome, Ann!");
        EXPECT_FLOAT_EQ(TSoundManager::Get()->GetVolume(1001), 0.25f) << "the volume kept";
        Click("play");
        ASSERT_EQ(Top(), "levels");
        EXPECT_TRUE(static_cast<GLevelJumpButton*>(Find("level_2"))->IsEnabled());
        EXPECT_FALSE(static_cast<GLevelJumpButton*>(Find("level_3"))->IsEnabled());
        Key(27);
        Click("hiscores");
        EXPECT_EQ(Shown("score1"), std::to_string(total));
    });
}

} // namespace
} // namespace assets_test

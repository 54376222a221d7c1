// Girls drawn on the game screen's draw list: the poise hearts of two levels, a check mark and a
// two-digit number above it.
#include "game/world/GStudent.h"

#include "tests/fixtures/golden.h"
#include "tests/game/visual/visual_fixture.h"
#include "tests/game/world/girl_fixture.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// The palette's 16 x 16 cells: 0 an empty heart, 1 a half one, 2 a full one, 3 the last full one,
// 4 the check mark, 5 the girl, 6 + d the digit d.
constexpr uint32_t kCells[16] = {0xFF808080u, 0xFFFF80C0u, 0xFFFF0000u, 0xFF800000u,
                                 0xFFFFFFFFu, 0xFF0000FFu, 0xFF00FF00u, 0xFF19FF00u,
                                 0xFF32FF00u, 0xFF4BFF00u, 0xFF64FF00u, 0xFF7DFF00u,
                                 0xFF96FF00u, 0xFFAFFF00u, 0xFFC8FF00u, 0xFFE1FF00u};

std::string Frame(int cell, int width, int height) {
    return "<frame x=\"" + std::to_string(16 * cell) + "\" w=\"" + std::to_string(width) +
           "\" h=\"" + std::to_string(height) + "\"/>";
}

std::string State(const std::string& id, const std::string& frames, bool visible = true) {
    return "<state id=\"" + id + "\" framelist=\"" + frames + "\"" +
           (visible ? "" : " visible=\"0\"") + "/>";
}

// A 16 x 16 girl; under her five 8 x 8 hearts 10 apart; the 8 x 8 check mark (check1) 24 right of
// her and 4 up; two 6 x 10 digits placed by the game (link 0).
std::string DrawnGirlXml() {
    std::string children;
    for (int i = 0; i < 5; ++i) {
        const std::string n = std::to_string(i);
        children += "<obj id=\"heart" + n + "\" deltaX=\"" + std::to_string(10 * i) +
                    "\" deltaY=\"20\"><framelist>" + Frame(0, 8, 8) + Frame(1, 8, 8) +
                    Frame(2, 8, 8) + Frame(3, 8, 8) + "</framelist><states>" +
                    State("normal", "0") + State("poise_" + n + "_0", "0") +
                    State("poise_" + n + "_1_l", "1") + State("poise_" + n + "_1_l_b", "1") +
                    State("poise_" + n + "_2", "2") + State("poise_" + n + "_2_l", "3") +
                    State("poise_" + n + "_2_l_b", "3") + "</states></obj>";
    }
    children += "<obj id=\"check_obj\" deltaX=\"20\"><objects><obj id=\"check\"><objects>"
                "<obj id=\"check1\" deltaX=\"4\" deltaY=\"-4\"><framelist>" +
                Frame(4, 8, 8) + "</framelist><states>" + State("normal", "0", false) +
                State("check_on", "0") + State("check_hide", "0", false) +
                "</states></obj></objects></obj></objects></obj>";
    std::string digits;
    std::string digitStates = State("normal", "0", false) + State("hide_number", "0", false);
    for (int d = 0; d <= 9; ++d) {
        digits += Frame(6 + d, 6, 10);
        digitStates += State("value_" + std::to_string(d), std::to_string(d));
    }
    for (const char* id : {"number1", "number2"}) {
        children += std::string("<obj id=\"") + id + "\" link=\"0\"><framelist>" + digits +
                    "</framelist><states>" + digitStates + "</states></obj>";
    }
    return "<main id=\"dgirl\"><images><img name=\"palette.png\"/></images><framelist>" +
           Frame(5, 16, 16) + "</framelist><states>" + State("normal", "0") + "</states><objects>" +
           children + "</objects></main>";
}

class StudentDrawTest : public world_test::TGirlTest {
protected:
    void SetUp() override {
        TGirlTest::SetUp();
        // The draw fixture's files, which it withdraws after the test.
        texture_test::TBytes& bytes = visual_test::TVisualDrawTest::mFiles["anim/palette.png"];
        bytes = visual_test::PatternPng(256, 16, [](int x, int) { return kCells[x / 16]; });
        RegisterMemoryFile("anim/palette.png", bytes.data(), static_cast<unsigned>(bytes.size()));
        ServeXml("dgirl", DrawnGirlXml());
        mGirlHooks.layer = &mLayer;
    }
};

TEST_F(StudentDrawTest, PoiseHeartsACheckMarkAndATwoDigitNumber) {
    GStudent* anna = StartAnnaWith("xml_anim = 'girl'", "xml_anim = 'dgirl'");
    ASSERT_NE(anna, nullptr);
    GStudent* bella = Girl("bella");
    ASSERT_NE(bella, nullptr);
    // Maximum 10: poise 3 is level 4 (one full heart, the last full one, three empty); poise 10
    // fills all five.
    anna->CPP_PoiseChange(3);
    bella->CPP_PoiseChange(10);
    bella->SetCryLock(1);
    ASSERT_EQ(bella->CheckClick(), 0);
    bella->ShowNumber(42);
    // The hearts' states wait for the states they follow to run out.
    visual_test::Tick(250);

    const standin::TScreenImage image = DrawFrame(0xFF000000u);
    // Anna at (100, 200): her body, her hearts 20 below (full, last full, empty) and no check
    // mark. Bella at (300, 200): five full hearts, the check mark at (324, 196), and 4 and 2 at
    // the check mark's place less 15, the second 10 to the right.
    const struct {
        int x;
        int y;
        uint32_t rgb;
        const char* what;
    } pixels[] = {
        {105, 205, 0x0000FFu, "Anna"},
        {103, 223, 0xFF0000u, "Anna's first heart"},
        {113, 223, 0x800000u, "Anna's last full heart"},
        {123, 223, 0x808080u, "Anna's third heart"},
        {143, 223, 0x808080u, "Anna's fifth heart"},
        {127, 199, 0x000000u, "no check mark on Anna"},
        {343, 223, 0xFF0000u, "Bella's fifth heart"},
        {327, 199, 0xFFFFFFu, "Bella's check mark"},
        {326, 185, 0x64FF00u, "the tens digit 4"},
        {336, 185, 0x32FF00u, "the units digit 2"},
        {331, 185, 0x000000u, "between the digits"},
    };
    for (const auto& pixel : pixels) {
        EXPECT_EQ(At(image, pixel.x, pixel.y), pixel.rgb) << pixel.what;
    }
    testing_fixtures::ExpectGolden(image, "tests/game/world/golden/girls_poise_check_number.png");
}

} // namespace

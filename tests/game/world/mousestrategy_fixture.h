// Game objects with mouse strategies on the test game screen, and a driver that offers each mouse
// event to every object in a chosen order and then flushes the strategies, as the level does. A
// recording switch interface notes the deferred calls by object name, and recording hooks the
// hints and money the manager shows. The shared interaction state is reset around each test.
#pragma once

#include "game/visual/GVLayer.h"
#include "game/world/GLogicalManagerHooks.h"
#include "game/world/GStratMousePikUp.h"
#include "game/world/G_ICanListenSwitch.h"
#include "tests/game/world/world_object_fixture.h"

#include <memory>
#include <string>
#include <vector>

namespace world_test {

// Each call as "slot name" or "slot name target" by the objects' names ("-" for an object
// that is no game object).
class TRecordingSwitch final : public G_ICanListenSwitch {
public:
    void OnOOOA(G_VoidLink* object, G_VoidLink* place) override { Note("OOOA", object, place); }
    void OnOODTA(G_VoidLink* object, G_VoidLink* target) override { Note("OODTA", object, target); }
    void OnOTL(G_VoidLink* object, G_VoidLink* queue) override { Note("OTL", object, queue); }
    void OnOFD(G_VoidLink* object) override { Note("OFD", object); }
    void OnOTU(G_VoidLink* object) override { Note("OTU", object); }
    void OnOSD(G_VoidLink* object) override { Note("OSD", object); }
    void OnOCOn(G_VoidLink* object) override { Note("OCOn", object); }
    void OnOCOff(G_VoidLink* object) override { Note("OCOff", object); }
    void OnClick(G_VoidLink* object) override { Note("Click", object); }
    void OnBMC(G_VoidLink* object) override { Note("BMC", object); }

    static std::string Name(G_VoidLink* link) {
        auto* object = dynamic_cast<GGameObject*>(link);
        return object != nullptr ? object->GetName().CStr() : "-";
    }

    std::vector<std::string> mCalls;

private:
    void Note(const char* slot, G_VoidLink* object, G_VoidLink* second = nullptr) {
        std::string call = std::string(slot) + " " + Name(object);
        if (second != nullptr) {
            call += " " + Name(second);
        }
        mCalls.push_back(call);
    }
};

class TRecordingHooks final : public GLogicalManagerHooks {
public:
    void ShowHint(const str& nameLabel, const str& descriptionLabel, int cost,
                  bool recommended) override {
        mHints.push_back(std::string("show ") + nameLabel.CStr() + " " + descriptionLabel.CStr());
        mHintOffers.emplace_back(cost, recommended);
    }
    void HideHint() override { mHints.emplace_back("hide"); }
    void SetMoney(int money) override { mMoney.push_back(money); }

    std::vector<std::string> mHints;
    // The cost and recommendation of each hint shown.
    std::vector<std::pair<int, bool>> mHintOffers;
    std::vector<int> mMoney;
};

class TMouseStrategyTest : public TWorldObjectTest {
protected:
    enum TEvent { kDown, kUp, kMove };

    void SetUp() override {
        TWorldObjectTest::SetUp();
        MouseInteraction() = GMouseInteraction();
        GLogicalManager::Instance().SetHooks(&mHooks);
        ServeImage("square.png", 40);
        ServeSquare("square", "");
    }

    void TearDown() override {
        // The strategies go with their objects first, while the shared state names them.
        mObjects.clear();
        MouseInteraction() = GMouseInteraction();
        GLogicalManager::Instance().SetHooks(nullptr);
        TWorldObjectTest::TearDown();
    }

    // The 40 x 40 square with the states the strategies set, and the children given.
    void ServeSquare(const std::string& name, const std::string& children) {
        ServeXml(name, "<main id=\"" + name +
                           "\"><images><img name=\"square.png\"/></images><framelist>"
                           "<frame w=\"40\" h=\"40\"/></framelist><states>"
                           "<state id=\"normal\" framelist=\"0\"/>"
                           "<state id=\"showhotplace\" framelist=\"0\"/>"
                           "<state id=\"hidehotplace\" framelist=\"0\"/>"
                           "<state id=\"showaccept\" framelist=\"0\"/></states>" +
                           children + "</main>");
    }

    // The object of that name drawn from (x, y), 40 x 40, at depth y + deltaZ.
    GGameObject* PlaceSquare(const std::string& name, int x, int y, int deltaZ = 0,
                             const std::string& xml = "square") {
        GGameObject* object =
            Place(name, "{ class_name = 'GGameObject', xml_anim = '" + xml + "' }",
                  ObjectTable(name, x, y, deltaZ));
        mLayer.UpdateObjects();
        return object;
    }

    // The same square as an object of a test class, made without the factory.
    template <class T>
    T* PlaceAs(const std::string& name, int x, int y,
               const std::string& type = "{ xml_anim = 'square' }") {
        std::unique_ptr<TLuaTable> typeTable = Table(type);
        std::unique_ptr<TLuaTable> objectTable = Table(ObjectTable(name, x, y, 0));
        auto made = std::make_unique<T>();
        T* object = made.get();
        if (!made->InitFromTable(typeTable.get(), objectTable.get()) ||
            !made->InitInLevel(objectTable.get(), nullptr, "", nullptr)) {
            return nullptr;
        }
        mObjects.push_back(std::move(made));
        mLayer.UpdateObjects();
        return object;
    }

    static std::string ObjectTable(const std::string& name, int x, int y, int deltaZ) {
        return "{ name = '" + name + "', pos_x = " + std::to_string(x) +
               ", pos_y = " + std::to_string(y) + ", deltaZ = " + std::to_string(deltaZ) + " }";
    }

    // The strategy bound to the object and the recording switch; active unless asked.
    template <class S>
    S* Give(GGameObject* object, S* strategy, bool active = true) {
        object->SetStrategy(strategy);
        strategy->SetTarget(object, &mSwitch);
        object->SetMouseEnabled(active);
        return strategy;
    }

    // To every placed object in order (or in the order set), then the flush; the draw list
    // brings the visuals up to date as the next frame would.
    void Offer(TEvent event, int x, int y) {
        const TPoint point{x, y};
        std::vector<GGameObject*> order = mOrder;
        if (order.empty()) {
            for (const auto& object : mObjects) {
                order.push_back(object.get());
            }
        }
        for (GGameObject* object : order) {
            switch (event) {
            case kDown:
                object->OnMouseDown(point);
                break;
            case kUp:
                object->OnMouseUp(point);
                break;
            case kMove:
                object->OnMouseMove(point);
                break;
            }
        }
        FlushMouseStrategyState();
        mLayer.UpdateObjects();
    }
    void Down(int x, int y) { Offer(kDown, x, y); }
    void Up(int x, int y) { Offer(kUp, x, y); }
    void Move(int x, int y) { Offer(kMove, x, y); }
    // The calls so far, then forgotten.
    std::vector<std::string> TakeCalls() {
        std::vector<std::string> calls;
        calls.swap(mSwitch.mCalls);
        return calls;
    }

    TRecordingSwitch mSwitch;
    TRecordingHooks mHooks;
    std::vector<GGameObject*> mOrder;
};

} // namespace world_test

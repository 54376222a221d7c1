// The statistics window, window type "GStatWnd": one girl of a type that played in the level, in a
// plain happy look in its "girls_layer", with a random line of her type's speech in
// "girl_say_text". Owned by its parent window, it owns the girl's visual; main thread only.
#pragma once

#include "engine/ui/window.h"

#include <memory>

class GSeparateLayer;
class GVObject;

class GStatWnd : public TWindow {
public:
    // Drawn from when the level names no type.
    static constexpr const char* kBuiltInTypes[] = {
        "cheerleader", "braniac", "girl_next_door", "singer",
        "dancer",      "gymnast", "aristocrat",     "southern_belle"};

    GStatWnd();
    ~GStatWnd() override;
    GStatWnd(const GStatWnd&) = delete;
    GStatWnd& operator=(const GStatWnd&) = delete;
    const char* GetClassName() const override { return "GStatWnd"; }
    bool IsKindOf(TWindowClassId id) const override;

    // The factory function of the type name "GStatWnd".
    static TWindow* Create();
    static TWindowClassId ClassId() { return &Create; }

    // Picks the type, makes the girl and her line.
    void PostCreate(TWindowStyle& style) override;

    GVObject* GetGirl() const { return mGirl.get(); }
    GSeparateLayer* GetGirlsLayer() const { return mGirlsLayer; }
    const str& GetTypeName() const { return mTypeName; }

private:
    // One of the level's girl types at random; empty without a level or types.
    static str DrawLevelType();

    std::unique_ptr<GVObject> mGirl;
    // Not owned: a window of the tree.
    GSeparateLayer* mGirlsLayer = nullptr;
    str mTypeName;
};

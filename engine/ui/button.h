// A button: a layered window whose layers hold the images of its visual states (normal, pressed,
// hover, and the switched-on variants of toggle and radio buttons). It tracks the mouse while
// pressed or hovered, plays its sounds and, when clicked, runs its command: an optional action,
// then the kCloseWindow and kButtonPress messages dialog scripts wait for. Created by the type
// name "Button"; game buttons derive from it. Owned by its parent window. Main thread only.
#pragma once

#include "engine/media/sound.h"
#include "engine/system/medialink.h"
#include "engine/ui/layeredwindow.h"

#include <cstdint>
#include <memory>
#include <vector>

class TLuaFunction;

class TButton : public TLayeredWindow {
public:
    // Button types (signed 4-bit; the Lua constants kPush, kToggle, kRadio).
    enum : int {
        kPush = 0,
        kToggle = 1,
        kRadio = 2,
    };
    // Visual states.
    enum : int {
        kNormal = 0,
        kPressed = 1,
        kHover = 2,
    };
    // Option bits.
    enum : uint8_t {
        kSendToParent = 0x01,
        kToggleOn = 0x02,
        kClose = 0x04,
        kDefault = 0x08,
        kCancel = 0x10,
    };
    // Bits of SetOptions, as scripts and game code give them.
    enum : uint32_t {
        kOptionBeginGroup = 0x01,
        kOptionSendToParent = 0x02,
    };

    // Run first when the button's command runs. Owned by the button. The nested names are the
    // ones game code derives from.
    class Action { // NOLINT(readability-identifier-naming)
    public:
        virtual ~Action() = default;
        virtual void Run(TButton* button) = 0;
    };

    // Calls a Lua function of the window script the next time the script takes messages, with
    // GetButtonName answering the button's name.
    class LuaAction : public Action { // NOLINT(readability-identifier-naming)
    public:
        // Takes the function.
        explicit LuaAction(TLuaFunction* function);
        ~LuaAction() override;
        LuaAction(const LuaAction&) = delete;
        LuaAction& operator=(const LuaAction&) = delete;
        void Run(TButton* button) override;

    private:
        std::unique_ptr<TLuaFunction> mFunction;
    };

    TButton();
    const char* GetClassName() const override { return "TButton"; }
    bool IsKindOf(TWindowClassId id) const override;
    ~TButton() override;
    bool OnAttach() override;
    // Reads the sounds, mask, type, options and "graphics", whose images become the layers, and
    // the "command" function; then new children (the label) go into every layer.
    void Init(TWindowStyle& style) override;
    void PostCreate(TWindowStyle& style) override;
    bool OnMouseDown(const TPoint& point) override;
    bool OnMouseUp(const TPoint& point) override;
    bool OnMouseMove(const TPoint& point) override;
    bool OnMouseLeave() override;
    // Slot 28: the press sound, then the command; a toggle or radio button then switches. True
    // while the button's dialog stays on top and the command left the button in the tree.
    virtual bool Press();
    // Slot 29: the sound of the new state (not of the press) and the layer that shows it.
    virtual void OnStateChange(int newState, int oldState);
    // Slot 30.
    virtual void SetState(int state);

    // The factory function of the type name "Button".
    static TWindow* Create();
    static TWindowClassId ClassId() { return &Create; }

    // kCloseWindow (close buttons), the action, then kButtonPress. True only when the action took
    // the button out of the tree.
    bool RunCommand();

    void SetType(int type);
    int GetType() const;
    int GetState() const { return static_cast<int>((mTypeAndState >> 4) & 0x7); }
    // Only adds bits: 0x01 begins a radio group, 0x02 sends to the parent, 0x04, 0x08 and 0x10 set
    // the options close, default and cancel.
    void SetOptions(uint32_t bits);
    uint8_t GetOptions() const { return mOptions; }
    bool IsToggledOn() const { return (mOptions & kToggleOn) != 0; }
    void ToggleState();
    // A radio button turned on turns off the other buttons of its group.
    void SetToggleState(bool on);
    // Takes the action; deletes the old one.
    void SetAction(Action* action);
    Action* GetAction() const { return mAction.get(); }
    // Slot 1 press, slot 2 rollover.
    void LoadSound(int slot, const str& name);
    const TSoundPtr& GetSound(int slot) const { return mSounds[slot]; }
    // Copies the texture's pixels; a texture that cannot be locked leaves the mask as it was.
    void SetHitMask(const TTexturePtr& texture);
    bool HasHitMask() const { return !mHitMask.empty(); }
    // Outside the window, or on a mask pixel darker than 20 in red, green and blue; a point
    // outside ends the press or hover (OnMouseLeave).
    bool IsOutside(const TPoint& point);

private:
    // Bits 0-3 the type, bits 4-6 the visual state.
    uint32_t mTypeAndState = 0;
    uint8_t mOptions = 0;
    std::unique_ptr<Action> mAction;
    // Slot 0 stays empty.
    TSoundPtr mSounds[3];
    std::vector<uint32_t> mHitMask;
    int mMaskWidth = 0;
    int mMaskHeight = 0;
};

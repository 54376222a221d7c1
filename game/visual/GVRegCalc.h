// The registration calculator of a frame list: turns each frame's raw registration point
// ("regx", "regy") into the plain and mirrored points drawing uses, by the frame's registration
// mode (its own, else its list's, else its texture entry's, else "old"). Made by the frame list
// once its frames are read. Main thread only.
#pragma once

#include "engine/core/rect.h"

#include <array>

class GVFrame;
class GVFrames;
class GVTextures;

class GVRegCalc {
public:
    enum : int {
        kModeOld = 0,       // "old": points relative to the lowest point of the list
        kModeDeltaLeft = 1, // "delta_left"
        kModeLeft = 2,      // "left"
        kModeCenter = 3,    // "center"
        kModeNotSet = 4,
    };

    GVRegCalc() = default;
    virtual ~GVRegCalc() = default;
    GVRegCalc(const GVRegCalc&) = delete;
    GVRegCalc& operator=(const GVRegCalc&) = delete;

    // Installs the base-point function of each of the four modes.
    virtual void InitModes();
    // Every frame's plain point := raw - base, mirrored point := size - raw - base.
    void Compute(GVFrames& frames, const GVTextures* textures);
    // The frame's own mode, else the list's, else its texture entry's, else kModeOld.
    static int ResolveMode(const GVFrame& frame, const GVFrames& frames,
                           const GVTextures* textures);

private:
    using GBaseFunction = TPoint (GVRegCalc::*)() const;

    // Mode 0: the lowest raw point of the list, or (0, 0).
    TPoint OldBase() const { return mOldBase; }
    TPoint ZeroBase() const { return TPoint{0, 0}; }

    std::array<GBaseFunction, 4> mModes{};
    TPoint mOldBase{0, 0};
};

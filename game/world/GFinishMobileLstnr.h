// Whoever a window mover reports to: a fly emitter listens to its own mover. Main thread only.
#pragma once

class TLuaParticleSystem;

class GFinishMobileLstnr {
public:
    GFinishMobileLstnr() = default;
    virtual ~GFinishMobileLstnr() = default;
    GFinishMobileLstnr(const GFinishMobileLstnr&) = delete;
    GFinishMobileLstnr& operator=(const GFinishMobileLstnr&) = delete;

    // One step of the flight, ms long.
    virtual void OnMobileStep(int ms) = 0;
    // The flight is over; the mover hands the answer on.
    virtual int OnMobileFinished() = 0;
    // The particles that fly; null when there are none.
    virtual TLuaParticleSystem* GetParticleSystem() = 0;
};

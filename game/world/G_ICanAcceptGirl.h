// What the door strategy asks its object: whether a girl may go through it now. The judging door
// implements it; an object without it is never usable. Main thread only.
#pragma once

class G_ICanAcceptGirl {
public:
    virtual bool CanAcceptGirl() = 0;

protected:
    ~G_ICanAcceptGirl() = default;
};

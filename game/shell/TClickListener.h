// What a tutorial window's button calls when it is pressed: the step's skip and its closing
// condition's OK. Main thread only.
#pragma once

class TClickListener { // NOLINT(readability-identifier-naming)
public:
    virtual ~TClickListener() = default;
    virtual void OnClick() = 0;
};

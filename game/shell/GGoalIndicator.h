// The score panel of a level: the score as a number and on a bar that runs to the expert score, the
// goal marked on a second bar, the current target's name, the distance walked, and the
// celebrations the first time the score reaches the goal and the expert score (a caption shown and
// blinking, the glow switched on, a sound). A plain record embedded in the game window, which
// attaches it to its "score_panel" and ticks it; the windows it finds belong to the window tree.
// Main thread only.
#pragma once

class TCustomProgressBar;
class TPSimple;
class TText;
class TWindow;

// Told of the two celebrations.
class GGoalListener {
public:
    virtual ~GGoalListener() = default;
    virtual void OnGoalReached() {}
    virtual void OnExpertReached() {}
};

class GGoalIndicator {
public:
    // Blink ticks of a celebration.
    static constexpr int kBlinkTicks = 100;

    GGoalIndicator() = default;
    GGoalIndicator(const GGoalIndicator&) = delete;
    GGoalIndicator& operator=(const GGoalIndicator&) = delete;

    // Finds the panel's windows (the glow in the panel's modal window), hides the score-up text and
    // the captions, and starts from goals 50 and 100, score 0 and no distance. The listener may be
    // null; it is not owned.
    void Attach(TWindow* panel, GGoalListener* listener);
    // New goals: both celebrations may happen again.
    void SetGoals(int goal, int expert);
    void SetScore(int score);
    // A negative amount resets the distance and leaves its text alone.
    void AddDistance(float amount);
    // One blink step of a running celebration.
    void Tick();

    int GetGoal() const { return mGoal; }
    int GetExpert() const { return mExpert; }
    float GetDistance() const { return mDistance; }
    bool IsGoalReached() const { return mGoalReached != 0; }
    bool IsExpertReached() const { return mExpertReached != 0; }
    int GetBlinkCountdown() const { return mBlinkCountdown; }

private:
    void OnGoalReached();
    void OnExpertReached();
    void EndBlink();
    void SetGlow(bool on);
    // The range the score is compared with: the score bar's, or 0 to the expert score without one.
    float Minimum() const;
    float Maximum() const;

    // Not owned: windows of the panel, null when missing or of another kind.
    TCustomProgressBar* mScoreBar = nullptr;
    TCustomProgressBar* mGoalBar = nullptr;
    int mGoal = 0;
    int mExpert = 0;
    float mDistance = 0.0f;
    unsigned char mGoalReached = 0;
    unsigned char mExpertReached = 0;
    // Not owned.
    GGoalListener* mListener = nullptr;
    TText* mScoreText = nullptr;
    TText* mScoreUpText = nullptr;
    TWindow* mGoalCaption = nullptr;
    TWindow* mExpertCaption = nullptr;
    TPSimple* mGlow = nullptr;
    TText* mGoalText = nullptr;
    TText* mDistanceText = nullptr;
    TText* mModeText = nullptr;
    int mBlinkCountdown = 0;
};

#pragma once

// Opacity counter of the main window's fade-in and fade-out, one step per
// tick of the fade timer. Kept free of widgets so the timing can be checked
// without a window.
//
// Fading in applies 0, 5, ..., 250 (51 ticks) and stops with the counter at
// 255, leaving the window just short of opaque. Fading out applies
// 255, 250, ..., 5 (51 ticks); the tick that applies 5 ends the process.
class FadeCounter {
public:
    static constexpr int Step = 5;
    static constexpr int Opaque = 255;

    struct Tick {
        int alpha = 0;           // opacity to apply in this tick, before the step
        bool stopTimer = false;  // the fade is over
        bool endProcess = false; // the fade-out is over: the process ends now
    };

    void StartFadeIn();
    // Also restarts a fade-out in progress from full opacity.
    void StartFadeOut();
    Tick Advance();

    bool FadingIn() const { return m_fadingIn; }
    int FadeAlpha() const { return m_alpha; }

private:
    bool m_fadingIn = false;
    int m_alpha = 0;
};

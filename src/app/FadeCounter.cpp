#include "FadeCounter.h"

void FadeCounter::StartFadeIn() {
    m_fadingIn = true;
    m_alpha = 0;
}

void FadeCounter::StartFadeOut() {
    m_fadingIn = false;
    m_alpha = Opaque;
}

FadeCounter::Tick FadeCounter::Advance() {
    Tick tick;
    tick.alpha = m_alpha;
    if (m_fadingIn) {
        m_alpha += Step;
        tick.stopTimer = m_alpha > 254;
    } else {
        m_alpha -= Step;
        tick.stopTimer = tick.endProcess = m_alpha <= 0;
    }
    return tick;
}

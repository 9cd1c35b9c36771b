#pragma once

#include <utility>

// Runs a closing step when the scope ends, however it ends, so that a state
// held for the duration of an operation is always given back.
template <class F> class ScopeExit {
public:
    explicit ScopeExit(F onExit) : m_onExit(std::move(onExit)) {}
    ~ScopeExit() { m_onExit(); }
    ScopeExit(const ScopeExit&) = delete;
    ScopeExit& operator=(const ScopeExit&) = delete;

private:
    F m_onExit;
};

#pragma once
// Test hooks that put back what they change when their scope ends, however it
// ends: a failed ASSERT returns from the test early, and a hook left set would
// point the next test at a destroyed object or a wrong limit.
#include <cstddef>
#include <utility>

namespace testsupport {

// Runs fnRestore when the scope ends.
template <class Fn>
class CAtScopeEnd {
public:
    explicit CAtScopeEnd(Fn fnRestore) : m_fnRestore(std::move(fnRestore)) {}
    ~CAtScopeEnd() { m_fnRestore(); }
    CAtScopeEnd(const CAtScopeEnd&) = delete;
    CAtScopeEnd& operator=(const CAtScopeEnd&) = delete;

private:
    Fn m_fnRestore;
};

// Sets a program-wide variable (g_waveOutFactory) for the scope and puts its
// old value back.
template <class T>
class CScopedValue {
public:
    CScopedValue(T& target, T value) : m_target(target), m_old(target) { m_target = std::move(value); }
    ~CScopedValue() { m_target = m_old; }
    CScopedValue(const CScopedValue&) = delete;
    CScopedValue& operator=(const CScopedValue&) = delete;

private:
    T& m_target;
    T m_old;
};

// Installs a handler through a setter that answers the one it replaces (the
// message boxes' and beeps'), and puts that one back.
template <class Handler>
class CScopedHandler {
public:
    template <class Fn>
    CScopedHandler(Handler (*pfnSet)(Handler), Fn fnHandler)
        : m_pfnSet(pfnSet), m_old(pfnSet(Handler(std::move(fnHandler))))
    {
    }
    ~CScopedHandler() { m_pfnSet(std::move(m_old)); }
    CScopedHandler(const CScopedHandler&) = delete;
    CScopedHandler& operator=(const CScopedHandler&) = delete;

private:
    Handler (*m_pfnSet)(Handler);
    Handler m_old;
};

} // namespace testsupport

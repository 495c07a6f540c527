#pragma once

#include "ui/overlay/GlobalShortcut.h"

#include <vector>

namespace kestrel::ui::overlay::test {

// A hot key that records what it was asked to bind and is pressed by the test.
class FakeGlobalShortcut final : public IGlobalShortcut {
public:
    void SetHotKey(overlaysettings::HotKey hotKey) override
    {
        bound.push_back(hotKey);
        SetStateNow(hotKey.IsEmpty() ? State::NoHotKey : State::Bound);
    }
    State CurrentState() const override { return state; }

    void Press() { NotifyActivated(); }
    void SetStateNow(State newState)
    {
        state = newState;
        NotifyState(state);
    }

    std::vector<overlaysettings::HotKey> bound;
    State state = State::NoHotKey;
};

} // namespace kestrel::ui::overlay::test

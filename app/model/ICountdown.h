#pragma once
// A one-shot countdown a tracked window runs for its auto-hide. Whoever
// tracks the window makes it; it stops when it goes.
class ICountdown {
public:
    virtual ~ICountdown() = default;
    virtual bool Enabled() const = 0;
    // Disabling and enabling again starts a full interval.
    virtual void SetEnabled(bool value) = 0;
};

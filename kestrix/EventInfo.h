#pragma once
// One event waiting in an event queue.
#include <cstdint>
#include <string>

#include "KestrixInterfaces.h"
#include "Variant.h"

class EventInfo {
public:
    // Fixes the record's ID, unique among the records alive, and answers it.
    const std::wstring& InitEvent(TVEvent eventType, std::wstring eventID, platform::Variant parameters);

    const std::wstring& ID() const noexcept { return id_; }
    TVEvent EventType() const noexcept { return eventType_; }
    const std::wstring& EventID() const noexcept { return eventID_; }
    // Stored as given: entries that refer to a variable still refer to it.
    const platform::Variant& Parameters() const noexcept { return parameters_; }

private:
    std::wstring id_;
    TVEvent eventType_ = _tvEventMin;
    std::wstring eventID_;
    platform::Variant parameters_;
};

#pragma once
// Recording the events a component raises through its connection points,
// and running the message loop dry.
#include <windows.h>

#include <string>
#include <vector>

#include "ComClient.h"
#include "ComObject.h"

namespace testing_support {

// Collects "Name arg arg ..." lines for the events of one source.
class EventLog {
public:
    // Connects a sink for `events`; each DISPID in `names` is recorded under its name.
    EventLog(IUnknown* source, const IID& events, std::vector<std::pair<DISPID, std::wstring>> names);

    const std::vector<std::wstring>& Lines() const noexcept { return lines_; }
    size_t Count(const std::wstring& prefix) const;
    void Clear() { lines_.clear(); }
    // Runs `action` when the event `name` arrives (after recording it); replaces an earlier one.
    void OnEvent(const std::wstring& name, std::function<void()> action);
    void Disconnect() { connection_.Disconnect(); }

private:
    std::vector<std::wstring> lines_;
    std::vector<std::pair<std::wstring, std::function<void()>>> actions_;
    platform::ComPtr<platform::com::EventSink> sink_;
    platform::com::EventConnection connection_;
};

// Calls an event sink's method as a component raising that event does, with
// 32-bit arguments in their documented order.
HRESULT FireEvent(IDispatch* sink, DISPID id, const std::vector<LONG>& arguments);

// Pumps this thread's messages until none are waiting (timers not waited for).
void PumpPending();

}  // namespace testing_support

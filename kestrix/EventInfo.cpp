#include "EventInfo.h"

namespace {
// A serial number never repeats within the process, so IDs stay unique
// however records come and go.
uint64_t g_nextSerial = 1;
}  // namespace

const std::wstring& EventInfo::InitEvent(TVEvent eventType, std::wstring eventID, platform::Variant parameters) {
    id_ = std::to_wstring(g_nextSerial++);
    eventType_ = eventType;
    eventID_ = std::move(eventID);
    parameters_ = std::move(parameters);
    return id_;
}

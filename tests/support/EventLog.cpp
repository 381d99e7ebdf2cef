#include "EventLog.h"

#include "Variant.h"

namespace testing_support {

EventLog::EventLog(IUnknown* source, const IID& events, std::vector<std::pair<DISPID, std::wstring>> names) {
    sink_ = platform::com::MakeObject<platform::com::EventSink>(events);
    for (auto& [id, name] : names) {
        sink_->On(id, [this, name](const DISPPARAMS& params) {
            std::wstring line = name;
            for (UINT i = 0; i < params.cArgs; ++i)
                line += L" " + platform::ToText(platform::com::EventArgument(params, i), L"EventLog");
            lines_.push_back(line);
            for (auto& [trigger, action] : actions_)
                if (trigger == name) action();
        });
    }
    connection_ = platform::com::EventConnection(source, events, static_cast<IDispatch*>(sink_.Get()));
}

size_t EventLog::Count(const std::wstring& prefix) const {
    size_t count = 0;
    for (const auto& line : lines_)
        if (line.compare(0, prefix.size(), prefix) == 0) ++count;
    return count;
}

void EventLog::OnEvent(const std::wstring& name, std::function<void()> action) {
    for (auto& [trigger, existing] : actions_)
        if (trigger == name) {
            existing = std::move(action);
            return;
        }
    actions_.emplace_back(name, std::move(action));
}

void PumpPending() {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
}

}  // namespace testing_support

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

HRESULT FireEvent(IDispatch* sink, DISPID id, const std::vector<LONG>& arguments) {
    // Automation passes arguments last first.
    std::vector<VARIANT> reversed;
    for (auto it = arguments.rbegin(); it != arguments.rend(); ++it) {
        VARIANT value{};
        value.vt = VT_I4;
        value.lVal = *it;
        reversed.push_back(value);
    }
    DISPPARAMS params{reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
    return sink->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr);
}

}  // namespace testing_support

#include "KestrixTestSupport.h"

#include <shellapi.h>

#include "Variant.h"

namespace kestrix_testing {

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

namespace {
constexpr wchar_t TrayClassName[] = L"Shell_TrayWnd";
// Windows' shell wraps the request in a record with this signature; Wine's
// puts the request itself in dwData.
constexpr DWORD TrayRecordSignature = 0x34753423;
}  // namespace

FakeTray::FakeTray() {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = ::GetModuleHandleW(nullptr);
    windowClass.lpszClassName = TrayClassName;
    ::RegisterClassW(&windowClass);
    window_ = ::CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, TrayClassName, L"", WS_POPUP, 0, 0, 0, 0, nullptr,
                                nullptr, windowClass.hInstance, nullptr);
    ::SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    ::SetWindowPos(window_, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

FakeTray::~FakeTray() { ::DestroyWindow(window_); }

LRESULT CALLBACK FakeTray::WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<FakeTray*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (msg == WM_COPYDATA && self) {
        const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
        DWORD request = static_cast<DWORD>(data->dwData);
        if (data->dwData == 1 && data->cbData >= 2 * sizeof(DWORD) &&
            static_cast<const DWORD*>(data->lpData)[0] == TrayRecordSignature)
            request = static_cast<const DWORD*>(data->lpData)[1];
        self->requests_.push_back(request);
        return self->accept_ ? TRUE : FALSE;
    }
    return ::DefWindowProcW(hwnd, msg, wParam, lParam);
}

void PumpPending() {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
}

}  // namespace kestrix_testing

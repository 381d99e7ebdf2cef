#include "CToolTips.h"

#include <uxtheme.h>
#include <windowsx.h>

#include <algorithm>
#include <unordered_map>
#include <vector>

#include "ColorScheme.h"
#include "Guard.h"

namespace {

constexpr wchar_t ClassName[] = L"CToolTips";
constexpr UINT AreaFlags = TTF_SUBCLASS;
constexpr UINT RelayedAreaFlags = 0;
constexpr UINT WindowFlags = TTF_IDISHWND | TTF_SUBCLASS;
constexpr int MarginSides = 4;
// Some versions of the control copy up to this many characters of a tip into
// a reading buffer whatever size they are told, so a buffer is never smaller.
constexpr size_t SmallestReadBuffer = INFOTIPSIZE;

// The record up to lParam: what every version of the control reads and writes.
TOOLINFOW EmptyToolInfo() noexcept {
    TOOLINFOW info{};
    info.cbSize = TTTOOLINFOW_V2_SIZE;
    return info;
}

TOOLINFOW NewTool(UINT flags, HWND window, UINT_PTR id, const std::wstring& text) noexcept {
    TOOLINFOW info = EmptyToolInfo();
    info.uFlags = flags;
    info.hwnd = window;
    info.uId = id;
    info.lpszText = const_cast<wchar_t*>(text.c_str());
    return info;
}

// RECT members in the order of the side indexes.
LONG* Side(RECT& margins, int side) noexcept {
    LONG* sides[MarginSides] = {&margins.left, &margins.top, &margins.right, &margins.bottom};
    return side >= 0 && side < MarginSides ? sides[side] : nullptr;
}

}  // namespace

CToolTips::~CToolTips() = default;

LRESULT CToolTips::Send(UINT message, WPARAM wParam, LPARAM lParam) const noexcept {
    return control_ ? ::SendMessageW(control_.get(), message, wParam, lParam) : 0;
}

bool CToolTips::Initialize(HWND parent, int32_t automaticDelay) {
    return platform::Guard(ClassName, L"Initialize", [&] {
        if (!control_) {
            ::InitCommonControls();
            control_.reset(::CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, TTS_ALWAYSTIP, 0, 0, 0, 0, parent, nullptr,
                                             ::GetModuleHandleW(nullptr), nullptr));
            if (!control_) return false;
        }
        SetDelay(TTDT_AUTOMATIC, automaticDelay);
        FollowColorScheme();
        return true;
    });
}

void CToolTips::FollowColorScheme() noexcept {
    if (!control_) return;
    const platform::Palette palette = platform::CurrentPalette();
    const bool own = palette.scheme == platform::Scheme::Dark;
    // A themed tip ignores the colours it is given: in the dark scheme it is
    // drawn unthemed in the menu's colours, otherwise as the system draws it.
    ::SetWindowTheme(control_.get(), own ? L"" : nullptr, own ? L"" : nullptr);
    Send(TTM_SETTIPBKCOLOR, own ? palette.menu : ::GetSysColor(COLOR_INFOBK), 0);
    Send(TTM_SETTIPTEXTCOLOR, own ? palette.menuText : ::GetSysColor(COLOR_INFOTEXT), 0);
}

void CToolTips::RememberLength(const std::wstring& text) noexcept {
    longestText_ = std::max(longestText_, text.size() + 1);
}

std::optional<TOOLINFOW> CToolTips::GetToolInfo(UINT_PTR id, std::wstring* text) const {
    const int32_t count = Count();
    for (int32_t index = 0; index < count; ++index) {
        TOOLINFOW info = EmptyToolInfo();
        if (!Send(TTM_ENUMTOOLSW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&info))) continue;
        if (info.uId != id) continue;
        if (text) *text = ReadText(info);
        return info;
    }
    return std::nullopt;
}

std::wstring CToolTips::ReadText(TOOLINFOW info) const {
    std::vector<wchar_t> buffer(std::max(longestText_, SmallestReadBuffer), L'\0');
    info.lpszText = buffer.data();
    Send(TTM_GETTEXTW, buffer.size(), reinterpret_cast<LPARAM>(&info));
    // The control may have pointed the record elsewhere (a resource or callback text).
    if (info.lpszText != buffer.data()) return {};
    buffer.back() = L'\0';
    return buffer.data();
}

bool CToolTips::AddTool(TOOLINFOW info, const std::wstring& text) {
    if (!control_ || GetToolInfo(info.uId)) return false;
    RememberLength(text);
    return Send(TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info)) != FALSE;
}

bool CToolTips::AddArea(HWND window, UINT_PTR id, int left, int top, int right, int bottom,
                        const std::wstring& text) {
    return platform::Guard(ClassName, L"AddArea", [&] {
        TOOLINFOW info = NewTool(AreaFlags, window, id, text);
        info.rect = RECT{left, top, right, bottom};
        return AddTool(info, text);
    });
}

bool CToolTips::AddWindow(HWND parent, HWND child, const std::wstring& text) {
    return platform::Guard(ClassName, L"AddWindow", [&] {
        return AddTool(NewTool(WindowFlags, parent, reinterpret_cast<UINT_PTR>(child), text), text);
    });
}

std::wstring CToolTips::GetText(UINT_PTR id) const {
    // Found by its ID alone, so areas answer as well as windows.
    return platform::Guard(ClassName, L"GetText", [&] {
        std::wstring text;
        GetToolInfo(id, &text);
        return text;
    });
}

void CToolTips::SetText(UINT_PTR id, const std::wstring& text) {
    platform::Guard(ClassName, L"SetText", [&] {
        auto info = GetToolInfo(id);
        if (!info) return;
        RememberLength(text);
        info->lpszText = const_cast<wchar_t*>(text.c_str());
        Send(TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&*info));
    });
}

bool CToolTips::Remove(UINT_PTR id) {
    return platform::Guard(ClassName, L"Remove", [&] {
        auto info = GetToolInfo(id);
        if (!info) return false;
        Send(TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&*info));
        return true;
    });
}

void CToolTips::SetAreas(HWND window, const std::vector<Area>& areas) {
    platform::Guard(ClassName, L"SetAreas", [&] {
        if (!control_) return;
        std::unordered_map<UINT_PTR, TOOLINFOW> kept;
        for (int32_t index = 0; index < Count(); ++index) {
            TOOLINFOW info = EmptyToolInfo();
            if (Send(TTM_ENUMTOOLSW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&info)) &&
                info.hwnd == window && !(info.uFlags & TTF_IDISHWND))
                kept.emplace(info.uId, info);
        }
        for (const Area& area : areas) {
            RememberLength(area.text);
            TOOLINFOW info = NewTool(RelayedAreaFlags, window, area.id, area.text);
            info.rect = area.rect;
            const auto found = kept.find(area.id);
            if (found == kept.end()) {
                Send(TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info));
                continue;
            }
            kept.erase(found);
            Send(TTM_NEWTOOLRECTW, 0, reinterpret_cast<LPARAM>(&info));
            Send(TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&info));
        }
        for (auto& [id, info] : kept) Send(TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&info));
    });
}

void CToolTips::RelayMouse(HWND window, UINT message, WPARAM wParam, LPARAM lParam) const noexcept {
    if (!control_ || message < WM_MOUSEFIRST || message > WM_MOUSELAST) return;
    MSG relayed{window, message, wParam, lParam, static_cast<DWORD>(::GetMessageTime()), {}};
    const DWORD at = ::GetMessagePos();
    relayed.pt = POINT{GET_X_LPARAM(at), GET_Y_LPARAM(at)};
    Send(TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&relayed));
}

bool CToolTips::RemoveAll() {
    if (!control_) return false;
    for (int32_t index = Count() - 1; index >= 0; --index) {
        TOOLINFOW info = EmptyToolInfo();
        if (Send(TTM_ENUMTOOLSW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&info)))
            Send(TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&info));
    }
    return true;
}

COLORREF CToolTips::BackColor() const { return static_cast<COLORREF>(Send(TTM_GETTIPBKCOLOR, 0, 0)); }

void CToolTips::SetBackColor(COLORREF color) { Send(TTM_SETTIPBKCOLOR, color, 0); }

COLORREF CToolTips::ForeColor() const { return static_cast<COLORREF>(Send(TTM_GETTIPTEXTCOLOR, 0, 0)); }

void CToolTips::SetForeColor(COLORREF color) { Send(TTM_SETTIPTEXTCOLOR, color, 0); }

int32_t CToolTips::Count() const { return static_cast<int32_t>(Send(TTM_GETTOOLCOUNT, 0, 0)); }

int32_t CToolTips::Delay(int which) const {
    return static_cast<int32_t>(Send(TTM_GETDELAYTIME, static_cast<WPARAM>(which), 0));
}

void CToolTips::SetDelay(int which, int32_t milliseconds) {
    Send(TTM_SETDELAYTIME, static_cast<WPARAM>(which), MAKELPARAM(milliseconds, 0));
}

int32_t CToolTips::Margin(int side) const {
    RECT margins{};
    Send(TTM_GETMARGIN, 0, reinterpret_cast<LPARAM>(&margins));
    const LONG* value = Side(margins, side);
    return value ? *value : 0;
}

void CToolTips::SetMargin(int side, int32_t value) {
    RECT margins{};
    LONG* target = Side(margins, side);
    if (!control_ || !target) return;
    Send(TTM_GETMARGIN, 0, reinterpret_cast<LPARAM>(&margins));
    *target = value;
    Send(TTM_SETMARGIN, 0, reinterpret_cast<LPARAM>(&margins));
}

int32_t CToolTips::MaxTipWidth() const { return static_cast<int32_t>(Send(TTM_GETMAXTIPWIDTH, 0, 0)); }

void CToolTips::SetMaxTipWidth(int32_t width) { Send(TTM_SETMAXTIPWIDTH, 0, width); }

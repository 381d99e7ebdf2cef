#include "frmAbout.h"

#include <cwchar>
#include <iterator>
#include <string>
#include <vector>

#include "ColorScheme.h"
#include "Controls.h"
#include "ErrorModule.h"
#include "Guard.h"
#include "Handles.h"
#include "Version.h"
#include "frmAboutIds.h"

namespace {

constexpr wchar_t ClassName[] = L"frmAbout";
constexpr wchar_t CaptionPrefix[] = L"About ";
constexpr wchar_t VersionPrefix[] = L"Version ";
constexpr wchar_t TranslationQuery[] = L"\\VarFileInfo\\Translation";
constexpr wchar_t LegalCopyrightName[] = L"LegalCopyright";
constexpr size_t QueryLength = 64;


// A copy of the program's own version resource; empty when it has none (a
// test program).
std::vector<BYTE> ProgramVersionBlock() {
    HMODULE program = ::GetModuleHandleW(nullptr);
    HRSRC found = ::FindResourceW(program, MAKEINTRESOURCEW(VS_VERSION_INFO), RT_VERSION);
    HGLOBAL loaded = found ? ::LoadResource(program, found) : nullptr;
    const auto* data = static_cast<const BYTE*>(loaded ? ::LockResource(loaded) : nullptr);
    if (!data) return {};
    return std::vector<BYTE>(data, data + ::SizeofResource(program, found));
}

// One text of the version resource, in its first language; empty when absent.
std::wstring VersionString(const wchar_t* name) {
    const std::vector<BYTE> block = ProgramVersionBlock();
    if (block.empty()) return {};
    void* value = nullptr;
    UINT length = 0;
    if (!::VerQueryValueW(block.data(), TranslationQuery, &value, &length) || length < 2 * sizeof(WORD)) return {};
    const auto* language = static_cast<const WORD*>(value);
    wchar_t path[QueryLength] = {};
    std::swprintf(path, std::size(path), L"\\StringFileInfo\\%04x%04x\\%ls", language[0], language[1], name);
    if (!::VerQueryValueW(block.data(), path, &value, &length) || length == 0) return {};
    const auto* text = static_cast<const wchar_t*>(value);
    return std::wstring(text, ::wcsnlen(text, length));
}

std::wstring LegalNotice() {
    std::wstring notice = VersionString(LegalCopyrightName);
    return notice.empty() ? std::wstring(AppInfo::LegalCopyright) : notice;
}

}  // namespace

std::shared_ptr<frmAbout> frmAbout::Create() {
    struct Made : frmAbout {};
    return std::make_shared<Made>();
}

frmAbout::frmAbout() : Dialog(ClassName, ::GetModuleHandleW(nullptr), IDD_ABOUT) {}

void frmAbout::Display(bool modal, HWND owner) {
    platform::Guard(ClassName, L"Display", [&] {
        if (hWnd() && ::IsWindowVisible(hWnd())) {
            ::SetForegroundWindow(hWnd());
            return;
        }
        if (modal) {
            ShowModal(owner);
            return;
        }
        owner_ = owner;
        ShowModeless(owner);
    });
}

bool frmAbout::OnInitDialog() {
    // The version comes from the error module, not the application object,
    // so the box also opens while there is none.
    platform::SetControlText(hWnd(), CaptionPrefix + std::wstring(AppInfo::Title));
    platform::SetControlText(Item(IDC_ABOUT_LBLPRODUCT), AppInfo::Title);
    platform::SetControlText(Item(IDC_ABOUT_LBLVERSION), VersionPrefix + VersionText());
    platform::SetControlText(Item(IDC_ABOUT_LBLCOPYRIGHT), LegalNotice());
    if (platform::CurrentScheme() == platform::Scheme::Dark) platform::UseDarkTitleBar(hWnd(), true);
    return true;
}

void frmAbout::OnCommand(int id, int, HWND) {
    if (id != IDOK && id != IDCANCEL) return;
    const bool modeless = !IsModal();
    End(id);
    // A modal box hands the focus back itself as its owner is enabled again.
    if (modeless && owner_ && ::IsWindow(owner_)) ::SetForegroundWindow(owner_);
    owner_ = nullptr;
}

#pragma once
// The program's identity. Shared by the version resource and the code, so the
// numbers and names exist once.
#define PELKIN_VERSION_MAJOR 1
#define PELKIN_VERSION_MINOR 5
#define PELKIN_VERSION_REVISION 337
#define PELKIN_VERSION_COMMA 1, 5, 0, 337
#define PELKIN_VERSION_TEXT "1.5.0.337"
#define PELKIN_TITLE "Pelkin!"
#define PELKIN_PRODUCT "Pelkin!"
#define PELKIN_COMPANY "None"
#define PELKIN_EXE_NAME "Pelkin"
#define PELKIN_LEGAL_COPYRIGHT "Copyright (C) 2026 The Pelkin developers. Free to use and to share."

#ifndef RC_INVOKED
namespace AppInfo {
inline constexpr wchar_t Title[] = L"" PELKIN_TITLE;
inline constexpr wchar_t ProductName[] = L"" PELKIN_PRODUCT;
inline constexpr wchar_t CompanyName[] = L"" PELKIN_COMPANY;
inline constexpr wchar_t ExeName[] = L"" PELKIN_EXE_NAME;
// The legal notice of the version resource; the About box reads it from there.
inline constexpr wchar_t LegalCopyright[] = L"" PELKIN_LEGAL_COPYRIGHT;
inline constexpr int Major = PELKIN_VERSION_MAJOR;
inline constexpr int Minor = PELKIN_VERSION_MINOR;
inline constexpr int Revision = PELKIN_VERSION_REVISION;
// Caption of the hidden main window; a second start finds the first by it.
inline constexpr wchar_t MainWindowCaption[] = L"" PELKIN_TITLE "Main";
}  // namespace AppInfo
#endif

#pragma once
// The tray component's identity, shown in its exception log entries and its
// version resource.
#define KESTRIX_VERSION_MAJOR 1
#define KESTRIX_VERSION_MINOR 0
#define KESTRIX_VERSION_REVISION 52
#define KESTRIX_VERSION_TEXT "1.0.0.52"
#define KESTRIX_TITLE "Kestrix"

namespace KestrixInfo {
constexpr wchar_t Title[] = L"" KESTRIX_TITLE;
constexpr int Major = KESTRIX_VERSION_MAJOR;
constexpr int Minor = KESTRIX_VERSION_MINOR;
constexpr int Revision = KESTRIX_VERSION_REVISION;
}  // namespace KestrixInfo

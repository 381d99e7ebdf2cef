#pragma once
// The menu component's identity, shown by its Version property, in its
// exception log entries and in its version resource.
#define QUILLET_VERSION_MAJOR 1
#define QUILLET_VERSION_MINOR 5
#define QUILLET_VERSION_REVISION 81
#define QUILLET_VERSION_TEXT "1.5.0.81"
#define QUILLET_TITLE "Quillet"

namespace QuilletInfo {
constexpr wchar_t Title[] = L"" QUILLET_TITLE;
constexpr int Major = QUILLET_VERSION_MAJOR;
constexpr int Minor = QUILLET_VERSION_MINOR;
constexpr int Revision = QUILLET_VERSION_REVISION;
}  // namespace QuilletInfo

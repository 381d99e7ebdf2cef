#include "frmSubclass.h"

#include "ComObject.h"

namespace {
constexpr wchar_t WindowClassName[] = L"frmSubclass";
}  // namespace

frmSubclass::frmSubclass() : Window(WindowClassName) {
    Create(ClassInfo{WindowClassName, platform::com::ThisModule()}, WS_EX_TOOLWINDOW, L"", WS_POPUP, RECT{});
}

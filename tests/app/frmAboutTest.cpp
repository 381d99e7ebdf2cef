// The About box as a user meets it over one of the program's windows: what it
// says, the program's icon, OK closing it and the focus going back.
#include <gtest/gtest.h>

#include <windows.h>

#include <future>
#include <string>

#include "Controls.h"
#include "Dialogs.h"
#include "Handles.h"
#include "Version.h"
#include "Wait.h"
#include "frmAbout.h"
#include "frmAboutIds.h"

using namespace testing_support;

namespace {

constexpr wchar_t Caption[] = L"About Pelkin!";

platform::UniqueWindow MakeTopLevel(const wchar_t* title) {
    return platform::UniqueWindow(::CreateWindowExW(0, L"STATIC", title, WS_OVERLAPPEDWINDOW | WS_VISIBLE, 50, 50,
                                                    300, 200, nullptr, nullptr, ::GetModuleHandleW(nullptr), nullptr));
}

std::wstring Text(HWND box, int id) { return platform::ControlText(::GetDlgItem(box, id)); }

}  // namespace

TEST(frmAboutTest, ShowsTheProgramsIdentityAndGivesTheFocusBackToItsOwnerWhenClosed) {
    auto owner = MakeTopLevel(L"About owner");
    auto elsewhere = MakeTopLevel(L"Another window");
    ASSERT_TRUE(owner && elsewhere);
    ::SetForegroundWindow(owner.get());

    auto about = frmAbout::Create();
    about->Display(false, owner.get());
    HWND box = about->hWnd();
    ASSERT_TRUE(::IsWindowVisible(box));
    EXPECT_EQ(::GetWindow(box, GW_OWNER), owner.get());
    EXPECT_EQ(platform::ControlText(box), Caption);
    EXPECT_EQ(Text(box, IDC_ABOUT_LBLPRODUCT), L"Pelkin!");
    EXPECT_EQ(Text(box, IDC_ABOUT_LBLVERSION), L"Version 1.5 (Build 0337)");
    // The test program has no version resource of its own.
    EXPECT_EQ(Text(box, IDC_ABOUT_LBLCOPYRIGHT), AppInfo::LegalCopyright);
    EXPECT_NE(::SendDlgItemMessageW(box, IDC_ABOUT_IMGICON, STM_GETICON, 0, 0), 0) << "no program icon";

    // Asked again while open: the same box comes forward.
    ::SetForegroundWindow(elsewhere.get());
    about->Display(false, owner.get());
    EXPECT_EQ(about->hWnd(), box);
    EXPECT_EQ(::GetForegroundWindow(), box);

    ASSERT_TRUE(PressButton(box, IDOK));
    EXPECT_TRUE(WaitUntil([&] { return !::IsWindow(box); })) << "OK did not close the box";
    EXPECT_EQ(::GetForegroundWindow(), owner.get());
    EXPECT_EQ(::GetFocus(), owner.get());

    // Modal: Display returns once the user has pressed OK.
    auto answered = AnswerDialog(Caption, IDOK, ::GetCurrentProcessId());
    about->Display(true, owner.get());
    EXPECT_EQ(answered.get(), AppInfo::LegalCopyright);
    EXPECT_EQ(about->hWnd(), nullptr);
}

// The options dialog over the running application, driven as a user would:
// controls set with the messages a user's clicks and keys send, OK, Apply and
// Cancel pressed, and the result read where it lands (the registry, the
// application, the platform's hot keys, the pixels of the mouse images).
#include <gtest/gtest.h>

#include <string>

#include "CApplication.h"
#include "Controls.h"
#include "Dialogs.h"
#include "Gdi.h"
#include "HotKeyHolder.h"
#include "MainModule.h"
#include "WindowLists.h"
#include "WindowModule.h"
#include "ScratchRegistry.h"
#include "Wait.h"
#include "frmMain.h"
#include "frmOptions.h"
#include "frmOptionsIds.h"

using namespace testing_support;

namespace {

constexpr wchar_t Base[] = L"Software\\Pelkin!\\";
constexpr int HotKeyProbeId = 0xBEEF;
enum Page { General = 1, Mouse, Rules, Switcher, Advanced };

bool HotKeyHeld(UINT modifiers, UINT key) {
    if (::RegisterHotKey(nullptr, HotKeyProbeId, modifiers, key)) {
        ::UnregisterHotKey(nullptr, HotKeyProbeId);
        return false;
    }
    return true;
}

std::wstring Stored(const std::wstring& section, const wchar_t* name) {
    const auto value = ReadValue(HKEY_CURRENT_USER, Base + section, name);
    return value.exists ? value.text : L"(none)";
}

class frmOptionsTest : public ::testing::Test {
protected:
    void SetUp() override {
        main_ = std::make_unique<frmMain>();
        main_->Initialize();
        ASSERT_TRUE(TheApp);
    }
    void TearDown() override {
        if (dialog_) ::DestroyWindow(dialog_);
        main_->Close(frmMain::UnloadMode::WindowsShutdown);
        main_.reset();
        TheApp.reset();
    }

    HWND Open() {
        auto form = frmOptions::Create(TheApp);
        form->Display(false, main_->hWnd());
        dialog_ = form->hWnd();
        return dialog_;
    }
    HWND At(int id) const { return ::GetDlgItem(dialog_, id); }
    bool Closed() const { return !::IsWindow(dialog_); }

    void Click(int id) const { ::SendMessageW(At(id), BM_CLICK, 0, 0); }
    void Choose(int id, int position) const {
        ::SendMessageW(At(id), CB_SETCURSEL, static_cast<WPARAM>(position), 0);
        ::SendMessageW(dialog_, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(At(id)));
    }
    // The row made current, then the space bar turns its check box.
    void ToggleRow(int id, int row) const {
        platform::SetCurrentRow(At(id), row);
        ::SendMessageW(At(id), WM_KEYDOWN, VK_SPACE, 0);
        ::SendMessageW(At(id), WM_KEYUP, VK_SPACE, 0);
    }
    void ToggleRows(int id, int count) const {
        for (int row = 0; row < count; ++row) ToggleRow(id, row);
    }
    // The thumb dragged to a position.
    void Slide(int position) const {
        HWND slider = At(IDC_sldWindows);
        ::SendMessageW(slider, TBM_SETPOS, TRUE, position);
        ::SendMessageW(dialog_, WM_HSCROLL, MAKEWPARAM(TB_THUMBTRACK, position), reinterpret_cast<LPARAM>(slider));
        ::SendMessageW(dialog_, WM_HSCROLL, MAKEWPARAM(TB_ENDTRACK, 0), reinterpret_cast<LPARAM>(slider));
    }
    void Type(int id, wchar_t key) const { ::SendMessageW(At(id), WM_CHAR, key, 0); }
    void ShowPage(int page) const {
        HWND tree = At(IDC_tvwOptions);
        HTREEITEM node = TreeView_GetRoot(tree);
        for (int i = General; i < page; ++i) node = TreeView_GetNextSibling(tree, node);
        TreeView_SelectItem(tree, node);
    }
    bool Visible(int id) const { return ::IsWindowVisible(At(id)) != FALSE; }
    bool Enabled(int id) const { return ::IsWindowEnabled(At(id)) != FALSE; }

    // Every control's state on one line each, in the pages' order.
    std::wstring Describe() const {
        auto combo = [&](int id) { return std::to_wstring(platform::ComboSelection(At(id))) + L" "; };
        auto check = [&](int id) { return std::wstring(platform::IsChecked(At(id)) ? L"1 " : L"0 "); };
        auto rows = [&](int id) {
            std::wstring text;
            for (int row = 0; row < ListView_GetItemCount(At(id)); ++row)
                text += platform::IsRowChecked(At(id), row) ? L"1" : L"0";
            return text + L" ";
        };
        std::wstring mouse;
        for (int slot = 0; slot < 4; ++slot) mouse += combo(IDC_cboMouseMain + slot);
        for (int slot = 0; slot < 4; ++slot) mouse += combo(IDC_cboMouseWindow + slot);
        return combo(IDC_cboHideIcon) + combo(IDC_cboStartup) +
               std::to_wstring(platform::SliderPosition(At(IDC_sldWindows))) + L" " +
               platform::ControlText(At(IDC_lblWindowsInterval)) + L"|" + rows(IDC_lstConfirmations) +
               check(IDC_chkWizardStyle) + L"|" + mouse + L"|" + rows(IDC_lstRules) + L"|" +
               check(IDC_chkSwitcherHotkey) + combo(IDC_cboSwitcherHotkey) + rows(IDC_lstSwitcherOptions) + L"|" +
               check(IDC_chkWindowTitleLength) + platform::ControlText(At(IDC_txtWindowTitleLength)) + L" " +
               check(IDC_chkBanner) + combo(IDC_cboHighlight) + check(IDC_chkOwnerDraw) + rows(IDC_lstMenus);
    }

    ScratchRegistry registry_;
    std::unique_ptr<frmMain> main_;
    HWND dialog_ = nullptr;
};

// The colour drawn at a point of a mouse image, as a fraction of its size.
COLORREF ImagePixel(HWND dialog, int id, double x, double y) {
    HWND image = ::GetDlgItem(dialog, id);
    RECT area{};
    ::GetClientRect(image, &area);
    platform::MemoryBitmap bitmap(nullptr, area.right, area.bottom, platform::PixelFormat::TopDown32);
    DRAWITEMSTRUCT item{ODT_BUTTON, static_cast<UINT>(id), 0, ODA_DRAWENTIRE, 0, image, bitmap.dc(), area, 0};
    ::SendMessageW(dialog, WM_DRAWITEM, static_cast<WPARAM>(id), reinterpret_cast<LPARAM>(&item));
    return bitmap.PixelAt(static_cast<int>(area.right * x), static_cast<int>(area.bottom * y));
}
bool IsBlue(COLORREF c) { return GetBValue(c) > 2 * GetRValue(c) && GetBValue(c) > 2 * GetGValue(c); }
bool IsRed(COLORREF c) { return GetRValue(c) > 2 * GetBValue(c) && GetRValue(c) > 2 * GetGValue(c); }

}  // namespace

TEST_F(frmOptionsTest, EveryOptionGoesFromTheDialogIntoTheRegistryAndComesBack) {
    Open();
    ASSERT_TRUE(dialog_);
    const std::wstring defaults =
        L"0 0 20 &Windows view refresh (seconds): 2.0|111 1 |0 1 2 0 1 0 2 0 |101 |1 1 11 |0 0 1 1 1 1011 ";
    EXPECT_EQ(Describe(), defaults);

    Choose(IDC_cboHideIcon, HideIconAlways);
    Choose(IDC_cboStartup, AutoStartCurrentUser);
    Slide(35);
    ToggleRows(IDC_lstConfirmations, 3);
    Click(IDC_chkWizardStyle);
    ShowPage(Mouse);
    for (int first : {IDC_cboMouseMain, IDC_cboMouseWindow}) {
        const int image = first == IDC_cboMouseMain ? IDC_imgMouseMain : IDC_imgMouseWindow;
        const int base = first == IDC_cboMouseMain ? 3 : 2;
        Choose(first + LeftSingleClick, base);
        Click(image + LeftSingleClick);
        Choose(first + LeftDoubleClick, base + 1);
        Choose(first + RightSingleClick, base + 2);
        Click(image + RightSingleClick);
        Choose(first + RightDoubleClick, 1);
    }
    ShowPage(Rules);
    ToggleRows(IDC_lstRules, 3);
    ShowPage(Switcher);
    Choose(IDC_cboSwitcherHotkey, 0);  // Alt + Tab, then the switcher off
    Click(IDC_chkSwitcherHotkey);
    ToggleRows(IDC_lstSwitcherOptions, 2);
    ShowPage(Advanced);
    Type(IDC_chkWindowTitleLength, L'4');
    Type(IDC_txtWindowTitleLength, L'2');
    Click(IDC_chkBanner);
    Choose(IDC_cboHighlight, 2);
    Click(IDC_chkOwnerDraw);
    ToggleRows(IDC_lstMenus, 4);
    const std::wstring edited =
        L"2 1 35 &Windows view refresh (seconds): 3.5|000 0 |3 4 5 1 2 3 4 1 |010 |0 0 00 |1 42 0 2 0 0100 ";
    ASSERT_EQ(Describe(), edited);
    Click(IDOK);
    EXPECT_TRUE(Closed());

    const std::wstring options = L"Options", mouse = L"Options\\Mouse", menus = L"Options\\Menus";
    const std::wstring confirm = L"Options\\Confirmation", switcher = L"Switcher";
    const std::vector<std::wstring> stored{
        Stored(options, L"Hide Icon"), Stored(options, L"AutoStart"), Stored(options, L"Windows Refresh Interval"),
        Stored(confirm, L"Delete"), Stored(confirm, L"Exit"), Stored(confirm, L"Save on Exit"),
        Stored(options, L"Wizard Style"), Stored(mouse, L"Main Left Single Click"),
        Stored(mouse, L"Main Left Double Click"), Stored(mouse, L"Main Right Single Click"),
        Stored(mouse, L"Main Right Double Click"), Stored(mouse, L"Window Left Single Click"),
        Stored(mouse, L"Window Left Double Click"), Stored(mouse, L"Window Right Single Click"),
        Stored(mouse, L"Window Right Double Click"), Stored(options, L"Search Top Level Windows Only"),
        Stored(options, L"Search Unwatched Windows Only"), Stored(options, L"Search Visible Windows Only"),
        Stored(switcher, L"Enabled"), Stored(switcher, L"Hotkey"), Stored(switcher, L"Hotkey Modifier"),
        Stored(switcher, L"Alt+Tab Mode"), Stored(switcher, L"Show Cancel"), Stored(menus, L"Window Title Length"),
        Stored(menus, L"Banner"), Stored(menus, L"Highlight"), Stored(menus, L"Owner Draw"),
        Stored(menus, L"Window Titles"), Stored(menus, L"Ignored Windows"), Stored(menus, L"Pelkin! sub-menu"),
        Stored(menus, L"Windows sub-menu")};
    const std::vector<std::wstring> expected{
        L"2",     L"1",     L"35",    L"False", L"False", L"False", L"False", L"3",    L"4",     L"5",     L"1",
        L"2",     L"3",     L"4",     L"1",     L"False", L"True",  L"False", L"False", L"9",    L"1",     L"False",
        L"False", L"42",    L"False", L"2",     L"False", L"False", L"True",  L"False", L"False"};
    EXPECT_EQ(stored, expected);
    EXPECT_TRUE(ReadValue(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Run", L"Pelkin!").exists);
    EXPECT_FALSE(HotKeyHeld(MOD_CONTROL, VK_TAB)) << "the switcher is off";

    Open();
    EXPECT_EQ(Describe(), edited);
}

TEST_F(frmOptionsTest, OkWithoutEditsAndCancelAfterEditsWriteNothing) {
    Open();
    EXPECT_FALSE(Enabled(IDC_cmdApply));
    Click(IDOK);
    EXPECT_TRUE(Closed());
    EXPECT_EQ(Stored(L"Options", L"Hide Icon"), L"(none)");

    Open();
    Choose(IDC_cboHideIcon, HideIconAlways);
    EXPECT_TRUE(Enabled(IDC_cmdApply));
    Slide(100);
    ToggleRow(IDC_lstConfirmations, 0);
    ShowPage(Switcher);
    Click(IDC_chkSwitcherHotkey);
    Click(IDCANCEL);
    EXPECT_TRUE(Closed());
    for (const wchar_t* section : {L"Options", L"Options\\Confirmation", L"Switcher"})
        EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, Base + std::wstring(section))) << platform::Narrow(section);
    EXPECT_EQ(TheApp->HideIcon(), HideIconNever);
    EXPECT_EQ(TheApp->Interval(), 20);
    EXPECT_TRUE(TheApp->Confirmations(ConfirmDelete));
    EXPECT_TRUE(TheApp->Switcher());
    EXPECT_TRUE(HotKeyHeld(MOD_CONTROL, VK_TAB));
}

TEST_F(frmOptionsTest, AHotKeyHeldElsewhereIsReportedTheRestIsSavedAndTheDialogStays) {
    HotKeyHolder holder(VK_TAB, MOD_ALT);
    ASSERT_TRUE(holder.Held());
    Open();
    Choose(IDC_cboHideIcon, HideIconWhileTrayed);
    ShowPage(Switcher);
    Choose(IDC_cboSwitcherHotkey, 0);
    ShowPage(Advanced);
    Type(IDC_chkWindowTitleLength, L'7');
    auto answer = AnswerDialog(L"Pelkin!", IDOK);
    Click(IDOK);
    const std::wstring told = answer.get();
    EXPECT_NE(told.find(L"Switcher Hotkey (Alt + Tab): Hotkey already active"), std::wstring::npos)
        << platform::Narrow(told);
    EXPECT_NE(told.find(L"keeps the hot key it had before"), std::wstring::npos) << platform::Narrow(told);
    EXPECT_FALSE(Closed());
    EXPECT_TRUE(Enabled(IDC_cmdApply));
    // Saved: everything else, and the switcher as it still is, on Ctrl+Tab.
    EXPECT_EQ(Stored(L"Options", L"Hide Icon"), L"1");
    EXPECT_EQ(Stored(L"Options\\Menus", L"Window Title Length"), L"7");
    EXPECT_EQ(Stored(L"Switcher", L"Enabled"), L"True");
    EXPECT_EQ(Stored(L"Switcher", L"Hotkey Modifier"), L"2");
    EXPECT_TRUE(TheApp->Switcher());
    EXPECT_TRUE(HotKeyHeld(MOD_CONTROL, VK_TAB));

    // Once the other program lets the key go, OK takes it and closes.
    holder.Release();
    ASSERT_TRUE(WaitUntil([] { return !HotKeyHeld(MOD_ALT, VK_TAB); }));
    Click(IDOK);
    EXPECT_TRUE(Closed());
    EXPECT_EQ(Stored(L"Switcher", L"Hotkey Modifier"), L"1");
    EXPECT_TRUE(HotKeyHeld(MOD_ALT | MOD_SHIFT, VK_TAB));
}

TEST_F(frmOptionsTest, EditRulesPagesAndMouseSlots) {
    Open();
    // The slider snaps to half seconds, and says so.
    Slide(23);
    EXPECT_EQ(platform::SliderPosition(At(IDC_sldWindows)), 20);
    EXPECT_EQ(platform::ControlText(At(IDC_lblWindowsInterval)), L"&Windows view refresh (seconds): 2.0");
    Slide(25);
    EXPECT_EQ(platform::ControlText(At(IDC_lblWindowsInterval)), L"&Windows view refresh (seconds): 2.5");

    ShowPage(Advanced);
    EXPECT_EQ(platform::ControlText(At(IDC_lblHeading)), L"Customize advanced options");
    EXPECT_FALSE(Visible(IDC_cboHideIcon));
    EXPECT_EQ(::GetFocus(), At(IDC_chkWindowTitleLength));
    // Digits typed on the check box go into the title length box.
    Type(IDC_chkWindowTitleLength, L'x');
    EXPECT_FALSE(platform::IsChecked(At(IDC_chkWindowTitleLength)));
    EXPECT_FALSE(Enabled(IDC_txtWindowTitleLength));
    Type(IDC_chkWindowTitleLength, L'5');
    EXPECT_TRUE(platform::IsChecked(At(IDC_chkWindowTitleLength)));
    EXPECT_TRUE(Enabled(IDC_txtWindowTitleLength));
    EXPECT_EQ(::GetFocus(), At(IDC_txtWindowTitleLength));
    ::SetFocus(At(IDC_chkWindowTitleLength));
    Type(IDC_chkWindowTitleLength, L'3');
    DWORD start = 0, end = 0;
    ::SendMessageW(At(IDC_txtWindowTitleLength), EM_GETSEL, reinterpret_cast<WPARAM>(&start),
                   reinterpret_cast<LPARAM>(&end));
    EXPECT_EQ(start, 2u);
    EXPECT_EQ(end, 2u);
    Type(IDC_txtWindowTitleLength, L'a');
    EXPECT_EQ(platform::ControlText(At(IDC_txtWindowTitleLength)), L"53");
    // "0" means no limit: leaving the box clears the check box.
    ::SendMessageW(At(IDC_txtWindowTitleLength), EM_SETSEL, 0, -1);
    Type(IDC_txtWindowTitleLength, L'0');
    ::SetFocus(At(IDC_chkBanner));
    EXPECT_FALSE(platform::IsChecked(At(IDC_chkWindowTitleLength)));
    EXPECT_FALSE(Enabled(IDC_txtWindowTitleLength));

    Click(IDC_chkOwnerDraw);
    EXPECT_FALSE(Enabled(IDC_chkBanner) || Enabled(IDC_cboHighlight) || Enabled(IDC_lblHighlight));
    Click(IDC_chkOwnerDraw);
    EXPECT_TRUE(Enabled(IDC_chkBanner) && Enabled(IDC_cboHighlight) && Enabled(IDC_lblHighlight));
    ShowPage(Switcher);
    Click(IDC_chkSwitcherHotkey);
    EXPECT_FALSE(Enabled(IDC_cboSwitcherHotkey));

    // Each button shows its single- or its double-click slot, the picture
    // telling which, with the click kind as its tip.
    ShowPage(Mouse);
    EXPECT_EQ(platform::ControlText(At(IDC_lblMouseWindow)), L"\"Trayed\" &window icon:");
    EXPECT_EQ(::GetFocus(), At(IDC_cboMouseMain + LeftSingleClick));
    EXPECT_TRUE(IsBlue(ImagePixel(dialog_, IDC_imgMouseMain + LeftSingleClick, 0.35, 0.3)));
    EXPECT_TRUE(IsRed(ImagePixel(dialog_, IDC_imgMouseMain + LeftDoubleClick, 0.35, 0.3)));
    EXPECT_TRUE(IsBlue(ImagePixel(dialog_, IDC_imgMouseWindow + RightSingleClick, 0.65, 0.3)));
    EXPECT_FALSE(IsBlue(ImagePixel(dialog_, IDC_imgMouseWindow + RightSingleClick, 0.35, 0.3)));
    Click(IDC_imgMouseMain + LeftSingleClick);
    EXPECT_FALSE(Visible(IDC_cboMouseMain + LeftSingleClick) || Visible(IDC_imgMouseMain + LeftSingleClick));
    EXPECT_TRUE(Visible(IDC_cboMouseMain + LeftDoubleClick) && Visible(IDC_imgMouseMain + LeftDoubleClick));
    EXPECT_EQ(::GetFocus(), At(IDC_cboMouseMain + LeftDoubleClick));
    Click(IDC_imgMouseMain + LeftDoubleClick);
    EXPECT_TRUE(Visible(IDC_cboMouseMain + LeftSingleClick));
    EXPECT_EQ(platform::ComboSelection(At(IDC_cboMouseMain + LeftSingleClick)), ProgramIconNotConfigured);
    EXPECT_EQ(platform::ComboSelection(At(IDC_cboMouseMain + LeftDoubleClick)), ProgramIconShowSetup);
    HWND tips = nullptr;
    while ((tips = ::FindWindowExW(nullptr, tips, TOOLTIPS_CLASSW, nullptr)) && ::GetWindow(tips, GW_OWNER) != dialog_) {
    }
    ASSERT_TRUE(tips);
    wchar_t text[64] = {};
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.uFlags = TTF_IDISHWND;
    tool.hwnd = dialog_;
    tool.uId = reinterpret_cast<UINT_PTR>(At(IDC_imgMouseWindow + RightDoubleClick));
    tool.lpszText = text;
    ::SendMessageW(tips, TTM_GETTEXTW, 64, reinterpret_cast<LPARAM>(&tool));
    EXPECT_STREQ(text, L" Right Button Double-Click ");
}

// The key control counts modifiers in other bits than the menu component: a
// key chosen there is the key held and stored, and a refused one keeps the old.
TEST_F(frmOptionsTest, CommandHotKeysChosenOnTheHotKeysPageAreHeldAndStored) {
    constexpr UINT ControlAltShift = MOD_CONTROL | MOD_ALT | MOD_SHIFT;
    EXPECT_TRUE(HotKeyHeld(ControlAltShift, 'H')) << "the default is held from the start";
    HotKeyHolder holder('K', MOD_CONTROL | MOD_ALT);
    ASSERT_TRUE(holder.Held());
    Open();
    ShowPage(Switcher);
    auto choose = [&](int id, BYTE key, BYTE flags) {
        ::SendMessageW(At(id), HKM_SETHOTKEY, MAKEWORD(key, flags), 0);
        ::SendMessageW(dialog_, WM_COMMAND, MAKEWPARAM(id, EN_CHANGE), reinterpret_cast<LPARAM>(At(id)));
    };
    choose(IDC_hkyHideActive, 'J', HOTKEYF_CONTROL | HOTKEYF_SHIFT);
    choose(IDC_hkyRestoreAll, 'K', HOTKEYF_CONTROL | HOTKEYF_ALT);
    EXPECT_TRUE(Enabled(IDC_cmdApply));
    auto answer = AnswerDialog(L"Pelkin!", IDOK);
    Click(IDC_cmdApply);
    const std::wstring told = answer.get();
    EXPECT_NE(told.find(L"Restore all windows (Ctrl+Alt+K): Hotkey already active"), std::wstring::npos)
        << platform::Narrow(told);
    EXPECT_TRUE(HotKeyHeld(MOD_CONTROL | MOD_SHIFT, 'J'));
    EXPECT_FALSE(HotKeyHeld(ControlAltShift, 'H'));
    EXPECT_TRUE(HotKeyHeld(ControlAltShift, 'R')) << "the refused choice keeps the key it had";
    EXPECT_EQ(Stored(L"Hotkeys\\Hide Active", L"Hotkey"), L"74");
    EXPECT_EQ(Stored(L"Hotkeys\\Hide Active", L"Hotkey Modifier"), L"6");
    EXPECT_EQ(Stored(L"Hotkeys\\Restore All", L"Hotkey"), L"82");

    // Switched off, the key is let go and the choice is stored as off.
    Click(IDC_chkHideActiveHotkey);
    EXPECT_FALSE(::IsWindowEnabled(At(IDC_hkyHideActive)));
    Click(IDOK);
    EXPECT_TRUE(Closed());
    EXPECT_FALSE(HotKeyHeld(MOD_CONTROL | MOD_SHIFT, 'J'));
    EXPECT_EQ(Stored(L"Hotkeys\\Hide Active", L"Enabled"), L"False");
}

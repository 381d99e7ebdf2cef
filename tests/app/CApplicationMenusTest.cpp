// The application and its menu component, in-process: the menus start-up
// builds, read back through the component's interface, the options that
// reach it, the switcher's hot keys as the platform holds them, and teardown.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "CApplication.h"
#include "MainModule.h"
#include "WindowLists.h"
#include "WindowModule.h"
#include "HotKeyHolder.h"
#include "ScratchRegistry.h"
#include "Variant.h"
#include "Wait.h"
#include "frmMain.h"

using platform::ComPtr;
using testing_support::ScratchRegistry;
using testing_support::WaitUntil;

namespace {

constexpr int HotKeyProbeId = 0xBEEF;
constexpr UINT FreeKey = VK_F9;
constexpr UINT HeldKey = VK_F11;

// Whether some window holds the key: the platform then refuses it to anyone else.
bool HotKeyHeld(UINT modifiers, UINT key) {
    if (::RegisterHotKey(nullptr, HotKeyProbeId, modifiers, key)) {
        ::UnregisterHotKey(nullptr, HotKeyProbeId);
        return false;
    }
    return ::GetLastError() == ERROR_HOTKEY_ALREADY_REGISTERED;
}

template <class Object>
std::wstring TextOf(Object* object, HRESULT (STDMETHODCALLTYPE Object::*get)(BSTR*)) {
    platform::Bstr text;
    EXPECT_EQ(S_OK, (object->*get)(text.put()));
    return text.Text();
}

template <class Object, class Value>
Value ValueOf(Object* object, HRESULT (STDMETHODCALLTYPE Object::*get)(Value*)) {
    Value value{};
    EXPECT_EQ(S_OK, (object->*get)(&value));
    return value;
}

ComPtr<_Band> BandNamed(_Quillet* quillet, const wchar_t* name) {
    ComPtr<_Bands> bands;
    quillet->get_Bands(&bands);
    ComPtr<_Band> band;
    bands->Item(platform::Variant::FromText(name).get(), &band);
    return band;
}

ComPtr<_Tools> ToolsOf(_Band* band) {
    ComPtr<_Tools> tools;
    band->get_Tools(&tools);
    return tools;
}

std::wstring BannerName(_Band* band) {
    ComPtr<_Banner> banner;
    band->get_Banner(&banner);
    return banner ? TextOf(banner.Get(), &_Banner::get_Name) : L"(none)";
}

// The sinks connected to the component's events.
ULONG EventConnections(_Quillet* quillet) {
    ComPtr<IConnectionPointContainer> container;
    ComPtr<IConnectionPoint> point;
    ComPtr<IEnumConnections> connections;
    if (FAILED(quillet->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(&container))) ||
        FAILED(container->FindConnectionPoint(DIID___Quillet, &point)) ||
        FAILED(point->EnumConnections(&connections)))
        return 0;
    ULONG count = 0;
    CONNECTDATA connection{};
    while (connections->Next(1, &connection, nullptr) == S_OK) {
        connection.pUnk->Release();
        ++count;
    }
    return count;
}

std::wstring Flag(VARIANT_BOOL value) { return value ? L"1" : L"0"; }

std::wstring Describe(_Band* band) {
    return L"style " + std::to_wstring(ValueOf(band, &_Band::get_Style)) + L" banner " + BannerName(band) +
           L" drawn " + Flag(ValueOf(band, &_Band::get_OwnerDraw)) + L" custom " +
           Flag(ValueOf(band, &_Band::get_AllowCustomDraw)) + L" enabled " + Flag(ValueOf(band, &_Band::get_Enabled)) +
           L" tools " + std::to_wstring(ValueOf(ToolsOf(band).Get(), &_Tools::get_Count));
}

// Everything the table of the main menu says about a tool, on one line.
std::wstring Describe(_Tool* tool) {
    auto flag = [&](HRESULT (STDMETHODCALLTYPE _Tool::*get)(VARIANT_BOOL*)) { return Flag(ValueOf(tool, get)); };
    return std::to_wstring(ValueOf(tool, &_Tool::get_ID)) + L" " + TextOf(tool, &_Tool::get_Name) + L" \"" +
           TextOf(tool, &_Tool::get_Caption) + L"\" icon " + std::to_wstring(ValueOf(tool, &_Tool::get_Icon)) +
           L" group " + flag(&_Tool::get_BeginGroup) + L" default " + flag(&_Tool::get_Default) + L" sub \"" +
           TextOf(tool, &_Tool::get_SubBand) + L"\" style " + std::to_wstring(ValueOf(tool, &_Tool::get_Style)) +
           L" shortcut \"" + TextOf(tool, &_Tool::get_Shortcut) + L"\" checked " + flag(&_Tool::get_Checked) +
           L" drawn " + flag(&_Tool::get_OwnerDraw) + L" custom " + flag(&_Tool::get_AllowCustomDraw) + L" enabled " +
           flag(&_Tool::get_Enabled) + L" visible " + flag(&_Tool::get_Visible);
}

class CApplicationMenusTest : public ::testing::Test {
protected:
    std::shared_ptr<CApplication> Start() {
        form_ = std::make_unique<frmMain>();
        form_->Initialize();
        return TheApp;
    }
    void TearDown() override {
        if (form_) form_->Close(frmMain::UnloadMode::WindowsShutdown);
        form_.reset();
        TheApp.reset();
    }

    ScratchRegistry registry_;
    std::unique_ptr<frmMain> form_;
};

}  // namespace

TEST_F(CApplicationMenusTest, StartUpBuildsTheTrayMenusAndTeardownLetsTheComponentGo) {
    auto app = Start();
    ASSERT_TRUE(app);
    ComPtr<_Quillet> quillet(app->Quillet());
    ASSERT_TRUE(quillet);
    EXPECT_EQ(ValueOf(quillet.Get(), &_Quillet::get_hWnd), reinterpret_cast<LONG_PTR>(form_->hWnd()));
    EXPECT_EQ(EventConnections(quillet.Get()), 1u);
    platform::Variant images;
    ASSERT_EQ(S_OK, quillet->get_ImageList(images.put()));
    EXPECT_EQ(platform::ToInt64(images.get(), L"test"), reinterpret_cast<intptr_t>(form_->imlIcons()));
    EXPECT_EQ(app->WindowIconBase(), 6);
    EXPECT_EQ(ValueOf(quillet.Get(), &_Quillet::get_HighlightStyle), qlHighlightGradient);

    ComPtr<_Banners> banners;
    ASSERT_EQ(S_OK, quillet->get_Banners(&banners));
    EXPECT_EQ(ValueOf(banners.Get(), &_Banners::get_Count), 1);
    ComPtr<_Banner> banner;
    banners->Item(platform::Variant::FromText(L"Pelkin!").get(), &banner);
    ASSERT_TRUE(banner);
    EXPECT_EQ(TextOf(banner.Get(), &_Banner::get_Caption), L"Pelkin!");
    // Width, icon (image 2 is "Setup"), fore colour, back colours.
    EXPECT_EQ((std::vector<LONG>{ValueOf(banner.Get(), &_Banner::get_Width), ValueOf(banner.Get(), &_Banner::get_Icon),
                                 static_cast<LONG>(ValueOf(banner.Get(), &_Banner::get_ForeColor)),
                                 static_cast<LONG>(ValueOf(banner.Get(), &_Banner::get_BackColor)),
                                 static_cast<LONG>(ValueOf(banner.Get(), &_Banner::get_BackColor2))}),
              (std::vector<LONG>{18, 2, 0xFFFFFF, RGB(171, 66, 11), RGB(42, 0, 75)}));

    ComPtr<_Bands> bands;
    ASSERT_EQ(S_OK, quillet->get_Bands(&bands));
    EXPECT_EQ(ValueOf(bands.Get(), &_Bands::get_Count), 2);
    auto main = BandNamed(quillet.Get(), L"Pelkin!");
    auto windows = BandNamed(quillet.Get(), L"Windows");
    ASSERT_TRUE(main && windows);
    // The windows band is filled when it opens: only the hidden separator tool.
    EXPECT_EQ(Describe(main.Get()), L"style 1 banner Pelkin! drawn 1 custom 0 enabled 1 tools 10");
    EXPECT_EQ(Describe(windows.Get()), L"style 1 banner (none) drawn 1 custom 0 enabled 1 tools 1");

    // Images: 1 "Windows", 2 "Setup", 3 "Refresh".
    const std::wstring rest = L" style 1 shortcut \"\" checked 0 drawn 1 custom 0 enabled 1 visible 1";
    const std::vector<std::wstring> expected{
        L"801 About \"&About Pelkin!...\" icon -1 group 0 default 0 sub \"\"" + rest,
        L"802 Setup \"&Setup...\" icon 2 group 1 default 1 sub \"\"" + rest,
        L"803 Options \"&Options...\" icon -1 group 0 default 0 sub \"\"" + rest,
        L"804 Windows \"&Windows\" icon 1 group 1 default 0 sub \"Windows\"" + rest,
        L"805 Disable \"&Disable\" icon -1 group 1 default 0 sub \"\"" + rest,
        L"806 Refresh \"&Refresh\" icon 3 group 0 default 0 sub \"\"" + rest,
        L"809 RestoreAll \"Res&tore All Windows\" icon -1 group 1 default 0 sub \"\"" + rest,
        // Shown only while a window of a program run as administrator refuses its action.
        L"810 RestartElevated \"Restart Pelkin as Administrator\" icon -1 group 1 default 0 sub \"\" style 1 "
        L"shortcut \"\" checked 0 drawn 1 custom 0 enabled 1 visible 0",
        L"807 Exit \"E&xit\" icon -1 group 0 default 0 sub \"\"" + rest,
    };
    auto tools = ToolsOf(main.Get());
    std::vector<std::wstring> described;
    // Position 1 is the component's hidden separator tool.
    for (LONG position = 2; position <= ValueOf(tools.Get(), &_Tools::get_Count); ++position) {
        ComPtr<_Tool> tool;
        tools->Item(platform::Variant::FromInt32(position).get(), &tool);
        described.push_back(tool ? Describe(tool.Get()) : L"(none)");
    }
    EXPECT_EQ(described, expected);

    // Teardown stops the events, takes the component off the window and lets
    // it go: the reference this test holds is the last one.
    main.Reset();
    windows.Reset();
    tools.Reset();
    banner.Reset();
    banners.Reset();
    bands.Reset();
    app->Dispose();
    EXPECT_EQ(app->Quillet(), nullptr);
    EXPECT_EQ(ValueOf(quillet.Get(), &_Quillet::get_hWnd), 0);
    EXPECT_EQ(EventConnections(quillet.Get()), 0u);
    quillet->AddRef();
    EXPECT_EQ(quillet->Release(), 1u);
}

TEST_F(CApplicationMenusTest, MenuOptionsReachTheComponent) {
    auto app = Start();
    ASSERT_TRUE(app && app->Quillet());
    _Quillet* quillet = app->Quillet();
    auto main = BandNamed(quillet, L"Pelkin!");

    app->SetMenuBanner(false);
    EXPECT_EQ(BannerName(main.Get()), L"(none)");
    app->SetMenuBanner(true);
    EXPECT_EQ(BannerName(main.Get()), L"Pelkin!");

    app->SetMenuHighlight(qlHighlightTextOnly);
    EXPECT_EQ(ValueOf(quillet, &_Quillet::get_HighlightStyle), qlHighlightTextOnly);

    for (bool ownerDraw : {false, true}) {
        app->SetMenuOwnerDraw(ownerDraw);
        for (const wchar_t* name : {L"Pelkin!", L"Windows"})
            EXPECT_EQ(ValueOf(BandNamed(quillet, name).Get(), &_Band::get_OwnerDraw), platform::ToVariantBool(ownerDraw))
                << platform::Narrow(name);
    }
}

TEST_F(CApplicationMenusTest, TheSwitcherHoldsItsKeyAndItsShiftTwinOrFailsLeavingNothingHeld) {
    auto app = Start();
    ASSERT_TRUE(app && app->Quillet());
    // Started with the stored defaults: Ctrl+Tab forwards, Ctrl+Shift+Tab backwards.
    ASSERT_TRUE(app->Switcher());
    EXPECT_TRUE(HotKeyHeld(MOD_CONTROL, VK_TAB));
    EXPECT_TRUE(HotKeyHeld(MOD_CONTROL | MOD_SHIFT, VK_TAB));

    // Switched on twice, the keys are held once: one switch-off frees them.
    app->SetSwitcher(true);
    app->SetSwitcher(false);
    EXPECT_FALSE(HotKeyHeld(MOD_CONTROL, VK_TAB));
    EXPECT_FALSE(HotKeyHeld(MOD_CONTROL | MOD_SHIFT, VK_TAB));

    // While off a new key is only stored; on, it moves with every change.
    app->SetSwitcherHotkey(FreeKey);
    EXPECT_FALSE(HotKeyHeld(MOD_CONTROL, FreeKey));
    app->SetSwitcher(true);
    EXPECT_TRUE(HotKeyHeld(MOD_CONTROL, FreeKey));
    app->SetSwitcherHotkeyModifiers(MOD_ALT);
    EXPECT_FALSE(HotKeyHeld(MOD_CONTROL, FreeKey));
    EXPECT_TRUE(HotKeyHeld(MOD_ALT, FreeKey));
    EXPECT_TRUE(HotKeyHeld(MOD_ALT | MOD_SHIFT, FreeKey));

    // Another program holds the key asked for.
    testing_support::HotKeyHolder holder(HeldKey, MOD_ALT);
    ASSERT_TRUE(holder.Held()) << "the other program holds no key";
    auto expectAlreadyActive = [](auto&& change, const wchar_t* source) {
        try {
            change();
            ADD_FAILURE() << "a held key was taken";
        } catch (const platform::Error& e) {
            EXPECT_EQ(e.Number(), static_cast<int32_t>(0x800403E8));
            EXPECT_EQ(e.Description(), L"Hotkey already active");
            EXPECT_EQ(e.Source(), source);
        }
    };
    expectAlreadyActive([&] { app->SetSwitcherHotkey(HeldKey); }, L"CApplication.SwitcherHotkey");
    EXPECT_EQ(app->SwitcherHotkey(), static_cast<int32_t>(FreeKey));
    EXPECT_TRUE(app->Switcher()) << "the keys in use before are still held";
    EXPECT_TRUE(HotKeyHeld(MOD_ALT, FreeKey));

    app->SetSwitcher(false);
    app->SetSwitcherHotkey(HeldKey);
    expectAlreadyActive([&] { app->SetSwitcher(true); }, L"CApplication.Switcher");
    EXPECT_FALSE(app->Switcher());
    EXPECT_FALSE(HotKeyHeld(MOD_ALT | MOD_SHIFT, HeldKey)) << "no twin held for a refused key";

    // Once the other program has gone the key is the switcher's; teardown lets it go.
    holder.Release();
    ASSERT_TRUE(WaitUntil([] { return !HotKeyHeld(MOD_ALT, HeldKey); }));
    app->SetSwitcher(true);
    EXPECT_TRUE(HotKeyHeld(MOD_ALT, HeldKey));
    app->Dispose();
    EXPECT_FALSE(HotKeyHeld(MOD_ALT, HeldKey));
    EXPECT_FALSE(HotKeyHeld(MOD_ALT | MOD_SHIFT, HeldKey));
}

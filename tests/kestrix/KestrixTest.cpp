#include <gtest/gtest.h>

#include <olectl.h>
#include <shellapi.h>

#include "ComError.h"
#include "Guard.h"
#include "Kestrix.h"
#include "SubclassHandler.h"
#include "SubclassModule.h"
#include "FakeTray.h"
#include "EventLog.h"
#include "Wait.h"

using testing_support::EventLog;
using testing_support::FakeTray;
using testing_support::PumpPending;
using platform::ComPtr;
using platform::Variant;
using testing_support::WaitUntil;

namespace {

class KestrixTest : public ::testing::Test {
protected:
    void SetUp() override {
        kestrix = Kestrix::Make();
        events = std::make_unique<EventLog>(static_cast<_Kestrix*>(kestrix.Get()), DIID_KestrixEvents,
                                            std::vector<std::pair<DISPID, std::wstring>>{
                                                {DISPID_CLICK, L"Click"},
                                                {DISPID_DBLCLICK, L"DblClick"},
                                                {1, L"MouseDown"},
                                                {2, L"MouseMove"},
                                                {3, L"MouseUp"},
                                                {4, L"TaskbarRestart"}});
    }
    void TearDown() override {
        events->Disconnect();
        kestrix->RemoveAll();
    }
    // What the shell does when the user works the mouse over icon `id`.
    void Mouse(LONG id, UINT mouseMessage) {
        ::SendMessageW(kestrix->CallbackWindow(), Kestrix::TrayCallbackMessage, static_cast<WPARAM>(id), mouseMessage);
    }
    void Add(LONG id, const std::wstring& tip = L"tip", bool visible = true) {
        ASSERT_EQ(S_OK, kestrix->Add(id, Variant::FromInt32(0).get(), platform::Bstr(tip).get(),
                                     platform::ToVariantBool(visible)));
    }
    ComPtr<_KestrixItem> Item(LONG id) {
        ComPtr<_KestrixItem> item;
        kestrix->Item(id, &item);
        return item;
    }
    bool Visible(LONG id) {
        VARIANT_BOOL visible = VARIANT_FALSE;
        Item(id)->get_Visible(&visible);
        return visible != VARIANT_FALSE;
    }
    std::wstring Cursor() {
        POINT at{};
        ::GetCursorPos(&at);
        return std::to_wstring(at.x) + L" " + std::to_wstring(at.y);
    }
    using Lines = std::vector<std::wstring>;

    ComPtr<Kestrix> kestrix;
    std::unique_ptr<EventLog> events;
};

}  // namespace

TEST_F(KestrixTest, ASingleClickGivesDownAndUpAtOnceAndTheClickAfterTheDelay) {
    Add(7);
    Mouse(7, WM_LBUTTONDOWN);
    Mouse(7, WM_LBUTTONUP);
    EXPECT_TRUE(events->Lines().empty()) << "events never arrive inside the shell's message";
    ASSERT_TRUE(WaitUntil([&] { return events->Count(L"Click") == 1; }));
    const std::wstring at = Cursor();
    EXPECT_EQ((Lines{L"MouseDown 7 1 " + at, L"MouseUp 7 1 " + at, L"Click 7 1"}), events->Lines());

    events->Clear();
    Mouse(7, WM_RBUTTONDOWN);
    Mouse(7, WM_RBUTTONUP);
    Mouse(7, WM_MBUTTONDOWN);  // the middle button is not reported
    ASSERT_TRUE(WaitUntil([&] { return events->Count(L"Click") == 1; }));
    EXPECT_EQ((Lines{L"MouseDown 7 2 " + at, L"MouseUp 7 2 " + at, L"Click 7 2"}), events->Lines());
}

TEST_F(KestrixTest, AQuickDoubleClickCancelsTheClickAndASlowOneDoesNot) {
    Add(7);
    Add(8);
    // Sent without running the message loop in between: well within the delay.
    Mouse(7, WM_LBUTTONDOWN);
    Mouse(7, WM_LBUTTONUP);
    Mouse(7, WM_LBUTTONDBLCLK);
    Mouse(7, WM_LBUTTONUP);
    ASSERT_TRUE(WaitUntil([&] { return events->Lines().size() == 4; }));
    // A press elsewhere delivers whatever click was still held back.
    Mouse(8, WM_LBUTTONDOWN);
    ASSERT_TRUE(WaitUntil([&] { return events->Count(L"MouseDown 8") == 1; }));
    const std::wstring at = Cursor();
    EXPECT_EQ((Lines{L"MouseDown 7 1 " + at, L"MouseUp 7 1 " + at, L"DblClick 7 1", L"MouseUp 7 1 " + at,
                     L"MouseDown 8 1 " + at}),
              events->Lines());

    ASSERT_TRUE(WaitUntil([&] { return events->Count(L"Click 8") == 1; }));
    events->Clear();
    Mouse(7, WM_LBUTTONDOWN);
    Mouse(7, WM_LBUTTONUP);
    ASSERT_TRUE(WaitUntil([&] { return events->Count(L"Click") == 1; }));
    Mouse(7, WM_LBUTTONDBLCLK);
    ASSERT_TRUE(WaitUntil([&] { return events->Count(L"DblClick") == 1; }));
    EXPECT_EQ((Lines{L"MouseDown 7 1 " + at, L"MouseUp 7 1 " + at, L"Click 7 1", L"DblClick 7 1"}), events->Lines());
}

TEST_F(KestrixTest, APressOnAnotherIconDeliversTheHeldClickBeforeItsOwnMouseDown) {
    Add(7);
    Add(8);
    Mouse(7, WM_LBUTTONDOWN);
    Mouse(7, WM_LBUTTONUP);
    ASSERT_TRUE(WaitUntil([&] { return events->Count(L"MouseUp") == 1; }));
    Mouse(8, WM_RBUTTONDOWN);
    ASSERT_TRUE(WaitUntil([&] { return events->Count(L"Click 8") == 1; }));
    const Lines& lines = events->Lines();
    auto position = [&](const std::wstring& prefix) {
        for (size_t i = 0; i < lines.size(); ++i)
            if (lines[i].compare(0, prefix.size(), prefix) == 0) return i;
        return lines.size();
    };
    EXPECT_LT(position(L"Click 7 1"), position(L"MouseDown 8 2"));
    EXPECT_LT(position(L"MouseDown 8 2"), position(L"Click 8 2"));
}

TEST_F(KestrixTest, MouseMovesBetweenDeliveriesArriveAsOneWithTheNewestPosition) {
    Add(7);
    POINT start{};
    ::GetCursorPos(&start);
    for (int i = 1; i <= 5; ++i) {
        ::SetCursorPos(100 + i, 200 + i);
        Mouse(7, WM_MOUSEMOVE);
    }
    const std::wstring last = Cursor();
    PumpPending();
    EXPECT_EQ((Lines{L"MouseMove 7 1 " + last}), events->Lines());
    ::SetCursorPos(start.x, start.y);
}

TEST_F(KestrixTest, APreparedPopupMenuGetsItsReleaseMessageAfterTheHandlerReturns) {
    Add(7);
    platform::UniqueWindow popup(::CreateWindowExW(0, L"STATIC", L"popup owner", WS_POPUP, 0, 0, 0, 0, nullptr,
                                                   nullptr, nullptr, nullptr));
    int releases = 0;
    ComPtr<SubclassHandler> counter;
    counter.Attach(SubclassHandler::Create([&](HWND, UINT, WPARAM, LPARAM) -> LRESULT {
        ++releases;
        return 0;
    }));
    ASSERT_TRUE(SubclassModule::AttachMessage(counter.Get(), popup.get(), Kestrix::PopupReleaseMessage));

    int releasesDuringHandler = -1;
    events->OnEvent(L"Click", [&] {
        ASSERT_EQ(S_OK, kestrix->PreparePopupMenu(reinterpret_cast<LONG_PTR>(popup.get())));
        PumpPending();  // a pop-up menu runs its own loop
        releasesDuringHandler = releases;
    });
    Mouse(7, WM_RBUTTONDOWN);
    Mouse(7, WM_RBUTTONUP);
    ASSERT_TRUE(WaitUntil([&] { return releases == 1; }));
    EXPECT_EQ(0, releasesDuringHandler);

    // The next press clears the preparation: its events post nothing.
    events->OnEvent(L"Click", [] {});  // this time the handler shows nothing
    Mouse(7, WM_LBUTTONDOWN);
    Mouse(7, WM_LBUTTONUP);
    ASSERT_TRUE(WaitUntil([&] { return events->Count(L"Click 7 1") == 1; }));
    PumpPending();
    EXPECT_EQ(1, releases);
    SubclassModule::DetachMessage(counter.Get(), popup.get(), Kestrix::PopupReleaseMessage);
}

// A client's handler that fails is no reason to lose what follows it: the
// failure goes to the component's log, the pop-up release still goes out and
// the next events arrive.
TEST_F(KestrixTest, AFailingHandlerIsLoggedAndWhatFollowsItStillHappens) {
    static std::vector<std::wstring> logged;
    logged.clear();
    const platform::FailureLogger previous = platform::SetFailureLogger([](const platform::Error& e, std::wstring_view module, std::wstring_view procedure) {
        logged.push_back(std::wstring(module) + L"." + std::wstring(procedure) + L" " + e.Description());
    });
    Add(7);
    platform::UniqueWindow popup(::CreateWindowExW(0, L"STATIC", L"popup owner", WS_POPUP, 0, 0, 0, 0, nullptr,
                                                   nullptr, nullptr, nullptr));
    int releases = 0;
    ComPtr<SubclassHandler> counter;
    counter.Attach(SubclassHandler::Create([&](HWND, UINT, WPARAM, LPARAM) -> LRESULT {
        ++releases;
        return 0;
    }));
    ASSERT_TRUE(SubclassModule::AttachMessage(counter.Get(), popup.get(), Kestrix::PopupReleaseMessage));
    events->OnEvent(L"Click", [&] {
        ASSERT_EQ(S_OK, kestrix->PreparePopupMenu(reinterpret_cast<LONG_PTR>(popup.get())));
        platform::Raise(platform::errors::InvalidPropertyValue, L"a handler broke", L"Client.Click");
    });
    Mouse(7, WM_RBUTTONDOWN);
    Mouse(7, WM_RBUTTONUP);
    ASSERT_TRUE(WaitUntil([&] { return releases == 1; }));
    EXPECT_EQ((Lines{L"Kestrix.FireEvent a handler broke"}), logged);

    events->OnEvent(L"Click", [] {});
    Mouse(7, WM_LBUTTONDOWN);
    Mouse(7, WM_LBUTTONUP);
    ASSERT_TRUE(WaitUntil([&] { return events->Count(L"Click 7 1") == 1; }));
    EXPECT_EQ(1u, logged.size());
    SubclassModule::DetachMessage(counter.Get(), popup.get(), Kestrix::PopupReleaseMessage);
    platform::SetFailureLogger(previous);
}

TEST_F(KestrixTest, ARecreatedTaskbarShowsEveryIconAgainAndTellsTheClient) {
    Add(7);
    Add(8, L"hidden", false);
    EXPECT_FALSE(Visible(8));
    ::SendMessageW(kestrix->CallbackWindow(), kestrix->TaskbarCreatedMessage(), 0, 0);
    EXPECT_TRUE(Visible(7));
    EXPECT_TRUE(Visible(8));
    ASSERT_TRUE(WaitUntil([&] { return events->Count(L"TaskbarRestart") == 1; }));
}

TEST_F(KestrixTest, WhileDisabledNoEventIsProducedAndNoIconIsAddedAgain) {
    Add(7);
    Add(8, L"hidden", false);
    ASSERT_EQ(S_OK, kestrix->put_Enabled(VARIANT_FALSE));
    EXPECT_EQ(nullptr, kestrix->AttachedWindow());
    Mouse(7, WM_LBUTTONDOWN);
    ::SendMessageW(kestrix->CallbackWindow(), kestrix->TaskbarCreatedMessage(), 0, 0);
    EXPECT_FALSE(Visible(8));
    EXPECT_TRUE(Visible(7)) << "icons stay while disabled";

    ASSERT_EQ(S_OK, kestrix->put_Enabled(VARIANT_TRUE));
    Mouse(8, WM_LBUTTONDOWN);
    ASSERT_TRUE(WaitUntil([&] { return events->Count(L"Click") == 1; }));
    EXPECT_EQ(0u, events->Count(L"MouseDown 7"));
    EXPECT_EQ(0u, events->Count(L"TaskbarRestart"));
    EXPECT_EQ(1u, events->Count(L"Click 8"));
}

TEST_F(KestrixTest, ItemsAreKeyedByIDAndAbsentIDsAreNoFailure) {
    Add(7, L"seven");
    Add(-3, L"minus three", false);
    LONG count = 0;
    kestrix->get_Count(&count);
    EXPECT_EQ(2, count);
    VARIANT_BOOL exists = VARIANT_FALSE;
    kestrix->Exists(-3, &exists);
    EXPECT_NE(VARIANT_FALSE, exists);
    kestrix->Exists(9, &exists);
    EXPECT_EQ(VARIANT_FALSE, exists);
    EXPECT_EQ(nullptr, Item(9).Get());
    EXPECT_EQ(S_OK, kestrix->Remove(9));

    platform::Bstr tip;
    Item(7)->get_ToolTipText(tip.put());
    EXPECT_EQ(L"seven", tip.Text());
    LONG id = 0;
    Item(-3)->get_ID(&id);
    EXPECT_EQ(-3, id);

    ComPtr<IUnknown> enumerator;
    ASSERT_EQ(S_OK, kestrix->get_NewEnum(&enumerator));
    ComPtr<IEnumVARIANT> items;
    ASSERT_EQ(S_OK, enumerator.As(&items));
    Variant element;
    std::vector<LONG> ids;
    while (items->Next(1, element.put(), nullptr) == S_OK) {
        ComPtr<_KestrixItem> item;
        ASSERT_EQ(S_OK, platform::ObjectOf(element.get())->QueryInterface(IID__KestrixItem,
                                                                            reinterpret_cast<void**>(&item)));
        item->get_ID(&id);
        ids.push_back(id);
    }
    EXPECT_EQ((std::vector<LONG>{7, -3}), ids);

    kestrix->RemoveAll();
    kestrix->get_Count(&count);
    EXPECT_EQ(0, count);
}

TEST_F(KestrixTest, IconTakesNumbersAndPicturesAndRefusesAnythingElse) {
    Add(7);
    auto item = Item(7);
    ASSERT_EQ(S_OK, item->put_Icon(Variant::FromInt32(1234).get()));
    LONG_PTR handle = 0;
    item->get_hIcon(&handle);
    EXPECT_EQ(1234, handle);

    platform::UniqueHIcon icon(::LoadIconW(nullptr, IDI_APPLICATION));
    PICTDESC description{sizeof description, PICTYPE_ICON, {}};
    description.icon.hicon = icon.get();
    ComPtr<IPictureDisp> picture;
    ASSERT_EQ(S_OK, ::OleCreatePictureIndirect(&description, IID_IPictureDisp, FALSE, reinterpret_cast<void**>(&picture)));
    ASSERT_EQ(S_OK, item->putref_Icon(Variant::FromObject(picture.Get()).get()));
    item->get_hIcon(&handle);
    EXPECT_EQ(reinterpret_cast<LONG_PTR>(icon.get()), handle);

    EXPECT_EQ(platform::ToHResult(platform::errors::TypeMismatch), item->put_Icon(Variant::FromText(L"abc").get()));
    ComPtr<IErrorInfo> info;
    ASSERT_EQ(S_OK, ::GetErrorInfo(0, &info));
    platform::Bstr source;
    info->GetSource(source.put());
    EXPECT_EQ(L"KestrixItem.Icon", source.Text());
    EXPECT_NE(S_OK, item->putref_Icon(Variant::FromObject(static_cast<_Kestrix*>(kestrix.Get())).get()));
    item->get_hIcon(&handle);
    EXPECT_EQ(reinterpret_cast<LONG_PTR>(icon.get()), handle) << "a refused icon changes nothing";
    item->put_Icon(Variant::FromInt32(0).get());  // the icon handle is ours to destroy
}

TEST_F(KestrixTest, TipsAreCutToTheShellsFieldWithoutSplittingACharacter) {
    const std::wstring longTip(80, L'x');
    EXPECT_EQ(std::wstring(63, L'x'), KestrixItem::ShellTip(longTip));
    EXPECT_EQ(L"short", KestrixItem::ShellTip(L"short"));
    std::wstring pairAtTheCut(62, L'y');
    pairAtTheCut += L"\U0001F600tail";
    EXPECT_EQ(std::wstring(62, L'y'), KestrixItem::ShellTip(pairAtTheCut));
}

TEST_F(KestrixTest, ADuplicateAddIsRefusedBeforeTheShellHearsOfIt) {
    FakeTray tray;
    Add(7, L"first");
    ASSERT_EQ(1u, tray.Requests().size());
    EXPECT_EQ(platform::ToHResult(platform::errors::DuplicateKey),
              kestrix->Add(7, Variant::FromInt32(0).get(), platform::Bstr(L"second").get(), VARIANT_TRUE));
    EXPECT_EQ(1u, tray.Requests().size());
    platform::Bstr tip;
    Item(7)->get_ToolTipText(tip.put());
    EXPECT_EQ(L"first", tip.Text());
}

TEST_F(KestrixTest, AnIconTheShellRefusedIsOfferedAgainUntilTheShellTakesIt) {
    kestrix->SetRetryInterval(20);
    {
        FakeTray tray;
        tray.Accept(false);
        Add(7, L"refused at first");
        EXPECT_TRUE(Visible(7)) << "Visible follows the request";
        EXPECT_TRUE(kestrix->RetryRunning());
        const size_t asked = tray.Requests().size();
        ASSERT_TRUE(WaitUntil([&] { return tray.Requests().size() > asked; }));
        EXPECT_TRUE(kestrix->RetryRunning());

        tray.Accept(true);
        ASSERT_TRUE(WaitUntil([&] { return !kestrix->RetryRunning(); }));
        EXPECT_EQ(NIM_ADD, tray.Requests().back());
    }
    {
        // A refused icon is also shown when the taskbar comes back.
        FakeTray tray;
        tray.Accept(false);
        Add(8, L"refused");
        tray.Accept(true);
        const size_t asked = tray.Requests().size();
        ::SendMessageW(kestrix->CallbackWindow(), kestrix->TaskbarCreatedMessage(), 0, 0);
        EXPECT_GT(tray.Requests().size(), asked);
        ASSERT_TRUE(WaitUntil([&] { return !kestrix->RetryRunning(); }));
    }
}

TEST_F(KestrixTest, IconsLeaveTheShellWhenRemovedAndWhenTheComponentGoes) {
    FakeTray tray;
    Add(7);
    Add(8, L"hidden", false);
    ComPtr<_KestrixItem> held = Item(7);
    kestrix->Remove(7);
    EXPECT_EQ((std::vector<DWORD>{NIM_ADD, NIM_DELETE}), tray.Requests()) << "even while a client holds the item";
    Add(9);
    events->Disconnect();
    const size_t before = tray.Requests().size();
    kestrix.Reset();
    std::vector<DWORD> after(tray.Requests().begin() + static_cast<std::ptrdiff_t>(before), tray.Requests().end());
    EXPECT_EQ((std::vector<DWORD>{NIM_DELETE}), after) << "only the visible item 9 was in the tray";
    kestrix = Kestrix::Make();  // for TearDown
}

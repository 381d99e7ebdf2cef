// The subclassing module on real windows: the records are read back as
// window properties under names spelled out here, so that a wrong name or
// value shows up even when dispatch happens to work.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "ComPtr.h"
#include "Error.h"
#include "Guard.h"
#include "Handles.h"
#include "Process.h"
#include "SubclassHandler.h"
#include "SubclassModule.h"
#include "Wait.h"

using namespace testing_support;

namespace {

constexpr UINT Probe = WM_APP + 1;
constexpr UINT Other = WM_APP + 2;
constexpr LRESULT ProbeAnswer = 100;
constexpr LRESULT OtherAnswer = 200;
constexpr LRESULT PeerOffset = 1000;  // what the peer DLL's owner adds to the previous answer

std::map<UINT, int> g_originalCalls;

LRESULT CALLBACK OriginalProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
    ++g_originalCalls[uMsg];
    if (uMsg == Probe) return ProbeAnswer;
    if (uMsg == Other) return OtherAnswer;
    return ::DefWindowProcW(hWnd, uMsg, wParam, lParam);
}

platform::UniqueWindow CreateTestWindow() {
    static const ATOM windowClass = [] {
        WNDCLASSW wc{};
        wc.lpfnWndProc = OriginalProc;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.lpszClassName = L"PelkinSubclassTest";
        return ::RegisterClassW(&wc);
    }();
    return platform::UniqueWindow(::CreateWindowW(MAKEINTATOM(windowClass), L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                                  ::GetModuleHandleW(nullptr), nullptr));
}

std::wstring RecordName(HWND hWnd, const std::wstring& suffix = {}) {
    return L"PK(" + std::to_wstring(static_cast<int32_t>(reinterpret_cast<intptr_t>(hWnd))) + L")" + suffix;
}
std::wstring MessagePart(UINT uMsg) { return L".Message(" + std::to_wstring(uMsg) + L")"; }
std::wstring SlotPart(UINT uMsg, size_t i) { return MessagePart(uMsg) + L".Owner(" + std::to_wstring(i) + L")"; }

intptr_t RecordOf(HWND hWnd, const std::wstring& suffix = {}) {
    return reinterpret_cast<intptr_t>(::GetPropW(hWnd, RecordName(hWnd, suffix).c_str()));
}

BOOL CALLBACK CountRecord(HWND hWnd, LPWSTR name, HANDLE, ULONG_PTR count) {
    if (!IS_INTRESOURCE(name) && std::wstring_view(name).starts_with(RecordName(hWnd)))
        ++*reinterpret_cast<int*>(count);
    return TRUE;
}

int RecordCount(HWND hWnd) {
    int count = 0;
    ::EnumPropsExW(hWnd, CountRecord, reinterpret_cast<LPARAM>(&count));
    return count;
}

using Owner = platform::ComPtr<SubclassHandler>;

Owner MakeOwner(SubclassHandler::Callback callback) {
    // Takes over the creator's reference; Attach would add one of its own
    // with MinGW's headers.
    Owner owner;
    *owner.ReleaseAndGetAddressOf() = SubclassHandler::Create(std::move(callback));
    return owner;
}

Owner Answering(LRESULT answer) {
    return MakeOwner([answer](HWND, UINT, WPARAM, LPARAM) { return answer; });
}

intptr_t Address(const Owner& owner) { return reinterpret_cast<intptr_t>(static_cast<ISubclass*>(owner.Get())); }

class SubclassTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_originalCalls.clear();
        window_ = CreateTestWindow();
        ASSERT_TRUE(window_);
    }

    HWND Window() const { return window_.get(); }
    LRESULT Send(UINT uMsg, WPARAM wParam = 0, LPARAM lParam = 0) const {
        return ::SendMessageW(Window(), uMsg, wParam, lParam);
    }
    intptr_t Record(const std::wstring& suffix = {}) const { return RecordOf(Window(), suffix); }
    bool Subclassed() const {
        return ::GetWindowLongPtrW(Window(), GWLP_WNDPROC) != reinterpret_cast<LONG_PTR>(&OriginalProc);
    }
    void Attach(const Owner& owner, UINT uMsg = Probe) const {
        ASSERT_TRUE(SubclassModule::AttachMessage(owner.Get(), Window(), uMsg));
    }

    platform::UniqueWindow window_;
};

TEST_F(SubclassTest, OwnersAnswerInRegistrationOrderAndTheLastAnswerWins) {
    std::vector<int> calls;
    const WPARAM wide = static_cast<WPARAM>(0x123456789ABCDEF0ull);
    const LPARAM negative = -0x0FEDCBA987654321ll;
    const LRESULT wideAnswer = 0x7EDCBA9876543210ll;
    Owner first = MakeOwner([&](HWND, UINT, WPARAM, LPARAM) -> LRESULT {
        calls.push_back(1);
        return 11;
    });
    Owner second = MakeOwner([&](HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
        calls.push_back(2);
        EXPECT_EQ(SubclassModule::CallOldWindowProc(hWnd, uMsg, wParam, lParam), ProbeAnswer);
        return LRESULT{22};
    });
    Owner last = MakeOwner([&](HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam) -> LRESULT {
        calls.push_back(3);
        EXPECT_EQ(hWnd, Window());
        EXPECT_EQ(uMsg, Probe);
        EXPECT_EQ(wParam, wide);
        EXPECT_EQ(lParam, negative);
        return wideAnswer;
    });
    Attach(first);
    Attach(second);
    Attach(last);

    EXPECT_EQ(Send(Probe, wide, negative), wideAnswer);
    EXPECT_EQ(calls, (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(g_originalCalls[Probe], 1);  // only through CallOldWindowProc

    // A message nobody registered for goes straight to the previous procedure.
    EXPECT_EQ(Send(Other), OtherAnswer);
    EXPECT_EQ(g_originalCalls[Other], 1);
    EXPECT_EQ(calls.size(), 3u);
}

TEST_F(SubclassTest, DetachingInAnyOrderKeepsTheOthersInOrderAndTheLastRestoresTheWindow) {
    Owner owners[] = {Answering(1), Answering(2), Answering(3)};
    std::vector<size_t> order{0, 1, 2};
    do {
        SCOPED_TRACE(::testing::Message() << "detach order " << order[0] << order[1] << order[2]);
        for (const Owner& owner : owners) Attach(owner);
        std::vector<size_t> left{0, 1, 2};
        for (size_t gone : order) {
            SubclassModule::DetachMessage(owners[gone].Get(), Window(), Probe);
            left.erase(std::find(left.begin(), left.end(), gone));
            EXPECT_EQ(Record(L".Count"), static_cast<intptr_t>(left.size()));
            EXPECT_EQ(Record(MessagePart(Probe)), static_cast<intptr_t>(left.size()));
            for (size_t i = 0; i < left.size(); ++i)
                EXPECT_EQ(Record(SlotPart(Probe, i + 1)), Address(owners[left[i]]));
            EXPECT_EQ(Record(SlotPart(Probe, left.size() + 1)), 0);
            EXPECT_EQ(Send(Probe), left.empty() ? ProbeAnswer : static_cast<LRESULT>(left.back() + 1));
            EXPECT_EQ(Subclassed(), !left.empty());
        }
        EXPECT_EQ(RecordCount(Window()), 0);
    } while (std::next_permutation(order.begin(), order.end()));
}

TEST_F(SubclassTest, AttachmentsToSeveralMessagesShareOneSubclass) {
    Owner owner = Answering(5), stranger = Answering(6);
    Attach(owner, Probe);
    Attach(owner, Other);
    const LONG_PTR installed = ::GetWindowLongPtrW(Window(), GWLP_WNDPROC);
    EXPECT_EQ(Record(L".Count"), 2);
    EXPECT_EQ(Record(), reinterpret_cast<intptr_t>(&OriginalProc));

    // Detaching what is not attached takes nobody's share of the count.
    SubclassModule::DetachMessage(stranger.Get(), Window(), Probe);
    SubclassModule::DetachMessage(owner.Get(), Window(), WM_USER);
    EXPECT_EQ(Record(L".Count"), 2);
    EXPECT_EQ(Record(MessagePart(Probe)), 1);

    SubclassModule::DetachMessage(owner.Get(), Window(), Probe);
    EXPECT_EQ(::GetWindowLongPtrW(Window(), GWLP_WNDPROC), installed);
    EXPECT_EQ(Send(Probe), ProbeAnswer);
    EXPECT_EQ(Send(Other), 5);
    SubclassModule::DetachMessage(owner.Get(), Window(), Other);
    EXPECT_FALSE(Subclassed());
    EXPECT_EQ(RecordCount(Window()), 0);
}

TEST_F(SubclassTest, AnOwnerMayDetachAndReleaseItselfWhileHandlingAMessage) {
    SubclassHandler* leaving = nullptr;
    ULONG referencesLeft = 0;
    leaving = SubclassHandler::Create([&](HWND hWnd, UINT uMsg, WPARAM, LPARAM) -> LRESULT {
        SubclassModule::DetachMessage(leaving, hWnd, uMsg);
        referencesLeft = leaving->Release();
        return 9;
    });
    Attach(Owner(leaving));  // the temporary takes its own reference and gives it back
    EXPECT_EQ(Send(Probe), 9);
    // The module held the owner for the length of the call.
    EXPECT_EQ(referencesLeft, 1u);
    EXPECT_FALSE(Subclassed());
    EXPECT_EQ(Send(Probe), ProbeAnswer);
}

// AttachMessage answers false and AttachMessageChecked raises the same failure.
void ExpectRefused(ISubclass* owner, HWND hWnd, uint32_t code, const std::wstring& description) {
    EXPECT_FALSE(SubclassModule::AttachMessage(owner, hWnd, Probe));
    try {
        SubclassModule::AttachMessageChecked(owner, hWnd, Probe);
        ADD_FAILURE() << "no failure raised";
    } catch (const platform::Error& e) {
        EXPECT_EQ(static_cast<uint32_t>(e.Number()), code);
        EXPECT_EQ(e.Description(), description);
        EXPECT_EQ(e.Source(), L"Subclass.AttachMessage");
    }
}

TEST_F(SubclassTest, RefusedAttachmentsChangeNothing) {
    Owner owner = Answering(1);

    HWND destroyed = CreateTestWindow().release();
    ::DestroyWindow(destroyed);
    ExpectRefused(owner.Get(), destroyed, 0x800401A7, L"Invalid window");

    ChildProcess other(BesideTests(L"keepalive.exe"), L"");
    HWND external = nullptr;
    ASSERT_TRUE(
        WaitUntil([&] { return (external = FindProcessWindow(L"Pelkin test keep-alive", other.Id())) != nullptr; }));
    EXPECT_FALSE(SubclassModule::IsLocalWindow(external));
    ExpectRefused(owner.Get(), external, 0x800401A8, L"Can't attach to an external window");
    EXPECT_EQ(RecordOf(external), 0);
    EXPECT_EQ(RecordOf(external, L".Count"), 0);

    Attach(owner);
    ExpectRefused(owner.Get(), Window(), 0x800401A6, L"This message is already being handled by another class");
    EXPECT_EQ(Record(L".Count"), 1);
    EXPECT_EQ(Record(MessagePart(Probe)), 1);
    SubclassModule::DetachMessage(owner.Get(), Window(), Probe);
    EXPECT_FALSE(Subclassed());
    EXPECT_EQ(RecordCount(Window()), 0);
}

// Sits on top of the module's procedure to look at the window once the
// module has handled its last message.
WNDPROC g_belowSpy = nullptr;
int g_recordsAfterNcDestroy = -1;

LRESULT CALLBACK Spy(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
    LRESULT result = ::CallWindowProcW(g_belowSpy, hWnd, uMsg, wParam, lParam);
    if (uMsg == WM_NCDESTROY) g_recordsAfterNcDestroy = RecordCount(hWnd);
    return result;
}

TEST_F(SubclassTest, ADestroyedWindowLeavesNoRecordsBehind) {
    int ncDestroyCalls = 0;
    Owner probe = Answering(1);
    Owner ncDestroy = MakeOwner([&](HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam) -> LRESULT {
        ++ncDestroyCalls;
        return SubclassModule::CallOldWindowProc(hWnd, uMsg, wParam, lParam);
    });
    Attach(probe);
    Attach(ncDestroy, WM_NCDESTROY);
    ASSERT_GT(RecordCount(Window()), 0);
    g_recordsAfterNcDestroy = -1;
    g_belowSpy =
        reinterpret_cast<WNDPROC>(::SetWindowLongPtrW(Window(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Spy)));

    HWND gone = window_.release();
    ASSERT_TRUE(::DestroyWindow(gone));
    EXPECT_EQ(ncDestroyCalls, 1);
    EXPECT_EQ(g_originalCalls[WM_NCDESTROY], 1);
    EXPECT_EQ(g_recordsAfterNcDestroy, 0);
    // Owners that leave afterwards find nothing to undo.
    SubclassModule::DetachMessage(probe.Get(), gone, Probe);
    SubclassModule::DetachMessage(ncDestroy.Get(), gone, WM_NCDESTROY);
}

using PeerAttach = BOOL (*)(HWND, UINT);
using PeerDetach = void (*)(HWND, UINT);
using PeerCalls = LONG (*)();

template <class Function>
Function PeerFunction(const char* name) {
    // Loaded once and never freed: its copy of the window procedure may be
    // the one installed on a window.
    static const HMODULE peer = ::LoadLibraryW(BesideTests(L"subclass_peer.dll").c_str());
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(::GetProcAddress(peer, name)));
}

TEST_F(SubclassTest, CopiesOfTheModuleInOtherModulesShareTheRecords) {
    const auto peerAttach = PeerFunction<PeerAttach>("PeerAttach");
    const auto peerDetach = PeerFunction<PeerDetach>("PeerDetach");
    const auto peerCalls = PeerFunction<PeerCalls>("PeerCalls");
    ASSERT_TRUE(peerAttach && peerDetach && peerCalls);
    LONG peerCallsSeen = -1;
    Owner mine = MakeOwner([&](HWND, UINT, WPARAM, LPARAM) -> LRESULT { return peerCallsSeen = peerCalls(), 7; });

    for (bool peerFirst : {true, false}) {
        for (bool peerLeavesFirst : {true, false}) {
            SCOPED_TRACE(::testing::Message()
                         << "peer first " << peerFirst << ", peer leaves first " << peerLeavesFirst);
            if (peerFirst) {
                ASSERT_TRUE(peerAttach(Window(), Probe));
            }
            Attach(mine);
            if (!peerFirst) {
                ASSERT_TRUE(peerAttach(Window(), Probe));
            }
            EXPECT_EQ(Record(L".Count"), 2);

            const LONG before = peerCalls();
            EXPECT_EQ(Send(Probe), peerFirst ? 7 : ProbeAnswer + PeerOffset);
            EXPECT_EQ(peerCalls(), before + 1);
            EXPECT_EQ(peerCallsSeen, peerFirst ? before + 1 : before);

            if (peerLeavesFirst)
                peerDetach(Window(), Probe);
            else
                SubclassModule::DetachMessage(mine.Get(), Window(), Probe);
            EXPECT_TRUE(Subclassed());
            EXPECT_EQ(Send(Probe), peerLeavesFirst ? 7 : ProbeAnswer + PeerOffset);
            if (peerLeavesFirst)
                SubclassModule::DetachMessage(mine.Get(), Window(), Probe);
            else
                peerDetach(Window(), Probe);
            EXPECT_FALSE(Subclassed());
            EXPECT_EQ(RecordCount(Window()), 0);
        }
    }
}

std::wstring g_logged;

void CaptureFailure(const platform::Error& failure, std::wstring_view module, std::wstring_view procedure) {
    g_logged = std::wstring(module) + L"." + std::wstring(procedure) + L": " + failure.Description();
}

TEST_F(SubclassTest, AFailingCallbackIsLoggedAndAnswersZero) {
    g_logged.clear();
    platform::SetFailureLogger(CaptureFailure);
    Owner failing = MakeOwner([](HWND, UINT, WPARAM, LPARAM) -> LRESULT { throw platform::Error(5, L"broken"); });
    Attach(failing);
    EXPECT_EQ(Send(Probe), 0);
    platform::SetFailureLogger(nullptr);
    EXPECT_EQ(g_logged, L"SubclassHandler.WindowProc: broken");
    EXPECT_EQ(Send(Other), OtherAnswer);
}

}  // namespace

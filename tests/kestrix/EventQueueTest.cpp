#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "EventQueue.h"
#include "EventLog.h"
#include "Wait.h"

using platform::Variant;
using testing_support::WaitUntil;

namespace {

// Records every delivered event as "type:parameter".
class Recorder final : public platform::com::ComBase<Recorder, IEvent> {
public:
    void* Cast(REFIID iid) noexcept {
        return iid == IID_IUnknown || iid == IID_IEvent ? static_cast<IEvent*>(this) : nullptr;
    }
    HRESULT STDMETHODCALLTYPE FireEvent(TVEvent type, VARIANT* parameters) override {
        std::wstring text = std::to_wstring(type);
        if (parameters && parameters->vt != VT_EMPTY) text += L":" + platform::ToText(*parameters, L"Recorder");
        delivered.push_back(text);
        if (onDelivery) onDelivery(text);
        return S_OK;
    }
    std::vector<std::wstring> delivered;
    std::function<void(const std::wstring&)> onDelivery;
};

class EventQueueTest : public ::testing::Test {
protected:
    void SetUp() override {
        recorder = platform::com::MakeObject<Recorder>();
        queue = std::make_unique<EventQueue>();
        queue->Initialize(recorder.Get(), 30);
        ASSERT_TRUE(queue->Attached());
    }
    void Add(TVEvent type, EventQueue::AddMode mode, const std::wstring& id, EventQueue::QueueKind kind,
             const std::wstring& parameter) {
        queue->Add(type, mode, id, kind, Variant::FromText(parameter));
    }
    // Dispatches one of the queue's own messages; false when none is waiting.
    bool DispatchOne(LPARAM* lParam = nullptr) {
        MSG msg;
        if (!::PeekMessageW(&msg, queue->Window(), EventQueue::QueueMessage, EventQueue::QueueMessage, PM_REMOVE))
            return false;
        if (lParam) *lParam = msg.lParam;
        ::DispatchMessageW(&msg);
        return true;
    }
    // Takes the queue's waiting messages away without dispatching them.
    int DiscardMessages() {
        int count = 0;
        MSG msg;
        while (::PeekMessageW(&msg, queue->Window(), EventQueue::QueueMessage, EventQueue::QueueMessage, PM_REMOVE))
            ++count;
        return count;
    }
    // Runs the thread's timers and the queue's messages, nothing else, until
    // `done` holds; records the batch budget (lParam) of each delayed delivery.
    bool RunQueue(const std::function<bool()>& done, std::vector<LPARAM>& budgets) {
        const ULONGLONG deadline = ::GetTickCount64() + testing_support::DefaultTimeoutMs;
        while (!done()) {
            if (::GetTickCount64() > deadline) return false;
            MSG msg;
            if (::PeekMessageW(&msg, queue->Window(), EventQueue::QueueMessage, EventQueue::QueueMessage, PM_REMOVE)) {
                if (msg.wParam == EventQueue::DelayQueue) budgets.push_back(msg.lParam);
                ::DispatchMessageW(&msg);
            } else if (::PeekMessageW(&msg, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE)) {
                ::DispatchMessageW(&msg);
            } else {
                ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
            }
        }
        return true;
    }

    platform::ComPtr<Recorder> recorder;
    std::unique_ptr<EventQueue> queue;
};

}  // namespace

TEST_F(EventQueueTest, PostedEventsArriveInOrderOnePerDispatchedMessage) {
    Add(tvEventMouseDown, EventQueue::AddAlways, L"", EventQueue::PostedQueue, L"a");
    Add(tvEventMouseUp, EventQueue::AddAlways, L"", EventQueue::PostedQueue, L"b");
    Add(tvEventMouseDown, EventQueue::AddAlways, L"", EventQueue::PostedQueue, L"c");
    EXPECT_TRUE(recorder->delivered.empty()) << "nothing is delivered from inside Add";
    for (size_t expected = 1; expected <= 3; ++expected) {
        ASSERT_TRUE(DispatchOne());
        EXPECT_EQ(expected, recorder->delivered.size());
    }
    EXPECT_EQ((std::vector<std::wstring>{L"4:a", L"6:b", L"4:c"}), recorder->delivered);
    while (DispatchOne()) {
    }
    EXPECT_EQ(3u, recorder->delivered.size()) << "surplus messages find an empty queue";
}

TEST_F(EventQueueTest, ReplaceMovesTheNewEventToTheEndAndIfAbsentAddsNothingButStillPosts) {
    Add(tvEventMouseMove, EventQueue::AddReplace, L"", EventQueue::PostedQueue, L"old move");
    Add(tvEventMouseDown, EventQueue::AddAlways, L"", EventQueue::PostedQueue, L"button");
    Add(tvEventMouseMove, EventQueue::AddReplace, L"", EventQueue::PostedQueue, L"new move");
    // A different EventID is a different event; the comparison is case-sensitive.
    Add(tvEventMouseMove, EventQueue::AddIfAbsent, L"Key", EventQueue::PostedQueue, L"keyed");
    Add(tvEventMouseMove, EventQueue::AddIfAbsent, L"key", EventQueue::PostedQueue, L"lower");
    Add(tvEventMouseMove, EventQueue::AddIfAbsent, L"Key", EventQueue::PostedQueue, L"refused");
    Add(tvEventMouseMove, EventQueue::AddIfAbsent, L"", EventQueue::PostedQueue, L"refused too");
    EXPECT_EQ(4, queue->Waiting(EventQueue::PostedQueue));
    EXPECT_EQ(7, DiscardMessages()) << "every Add posts, whatever it added";
    queue->Flush(EventQueue::PostedQueue);
    EXPECT_EQ((std::vector<std::wstring>{L"4:button", L"5:new move", L"5:keyed", L"5:lower"}), recorder->delivered);
}

TEST_F(EventQueueTest, DelayedBatchIsDeliveredOnePerMessageAndLaterEventsWaitForANewDelay) {
    Add(tvEventClick, EventQueue::AddAlways, L"", EventQueue::DelayQueue, L"1");
    Add(tvEventClick, EventQueue::AddAlways, L"", EventQueue::DelayQueue, L"2");
    Add(tvEventClick, EventQueue::AddIfAbsent, L"", EventQueue::DelayQueue, L"dropped");
    Add(tvEventClick, EventQueue::AddAlways, L"", EventQueue::DelayQueue, L"3");
    // The first delivery adds a fourth event: it belongs to the next batch.
    recorder->onDelivery = [&](const std::wstring& text) {
        if (text == L"1:1") Add(tvEventClick, EventQueue::AddAlways, L"", EventQueue::DelayQueue, L"4");
    };
    std::vector<LPARAM> budgets;
    ASSERT_TRUE(RunQueue([&] { return recorder->delivered.size() >= 3; }, budgets));
    EXPECT_EQ((std::vector<LPARAM>{3, 2, 1}), budgets);
    EXPECT_EQ((std::vector<std::wstring>{L"1:1", L"1:2", L"1:3"}), recorder->delivered);
    EXPECT_EQ(1, queue->Waiting(EventQueue::DelayQueue));
    ASSERT_TRUE(WaitUntil([&] { return recorder->delivered.size() == 4; }));
    EXPECT_EQ(L"1:4", recorder->delivered.back());
}

TEST_F(EventQueueTest, FlushDeliversAtOnceAndCancelsTheDelay) {
    Add(tvEventClick, EventQueue::AddAlways, L"", EventQueue::DelayQueue, L"held");
    Add(tvEventMouseDown, EventQueue::AddAlways, L"", EventQueue::PostedQueue, L"posted");
    queue->Flush(EventQueue::DelayQueue);
    EXPECT_EQ((std::vector<std::wstring>{L"1:held"}), recorder->delivered);
    queue->Flush(EventQueue::AllQueues);
    EXPECT_EQ(2u, recorder->delivered.size());
    // The cancelled delay posts nothing later: a fresh delayed event arrives alone.
    Add(tvEventClick, EventQueue::AddAlways, L"", EventQueue::DelayQueue, L"after");
    ASSERT_TRUE(WaitUntil([&] { return recorder->delivered.size() == 3; }));
    EXPECT_EQ(L"1:after", recorder->delivered.back());
}

TEST_F(EventQueueTest, ASubscriberThatPumpsMessagesReceivesEachEventOnce) {
    recorder->onDelivery = [&](const std::wstring& text) {
        if (text == L"4:first") testing_support::PumpPending();  // a modal loop, as a pop-up menu runs
    };
    Add(tvEventMouseDown, EventQueue::AddAlways, L"", EventQueue::PostedQueue, L"first");
    Add(tvEventMouseUp, EventQueue::AddAlways, L"", EventQueue::PostedQueue, L"second");
    Add(tvEventClick, EventQueue::AddAlways, L"", EventQueue::DelayQueue, L"third");
    ASSERT_TRUE(WaitUntil([&] { return recorder->delivered.size() >= 3; }));
    testing_support::PumpPending();
    EXPECT_EQ((std::vector<std::wstring>{L"4:first", L"6:second", L"1:third"}), recorder->delivered);
}

TEST_F(EventQueueTest, DestroyingTheQueueDeliversWhatIsWaitingAndRestoresItsWindow) {
    Add(tvEventMouseDown, EventQueue::AddAlways, L"", EventQueue::PostedQueue, L"posted");
    Add(tvEventClick, EventQueue::AddAlways, L"", EventQueue::DelayQueue, L"delayed");
    const HWND window = queue->Window();
    queue.reset();
    EXPECT_EQ((std::vector<std::wstring>{L"4:posted", L"1:delayed"}), recorder->delivered);
    EXPECT_FALSE(::IsWindow(window));
    testing_support::PumpPending();
    EXPECT_EQ(2u, recorder->delivered.size());
}

TEST(EventQueueWithoutSubscriberTest, SetsNothingUp) {
    EventQueue queue;
    queue.Initialize(nullptr, 250);
    EXPECT_EQ(nullptr, queue.Window());
    EXPECT_FALSE(queue.Attached());
}

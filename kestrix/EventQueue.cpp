#include "EventQueue.h"

#include "ComError.h"
#include "Guard.h"
#include "SubclassModule.h"
#include "TimerEx.h"


namespace {
// Every step of delivery, flushing and teardown logs its failure and goes on;
// a subscriber's failure never stops the queue.
constexpr platform::LogSource Log{L"EventQueue"};
}  // namespace

EventQueue::~EventQueue() {
    if (!subscriber_) return;
    auto step = [](auto&& body) { Log.Skip(L"Class_Terminate", body); };
    step([&] { Flush(AllQueues); });
    step([&] {
        if (attached_) SubclassModule::DetachMessage(handler_.Get(), window_, QueueMessage);
        attached_ = false;
    });
    step([&] { form_.reset(); });
    step([&] {
        moTimer_.reset();
        posted_.reset();
        delay_.reset();
        subscriber_ = nullptr;
    });
}

void EventQueue::Initialize(IEvent* subscriber, LONG delay) {
    if (!subscriber) return;
    form_ = std::make_unique<frmSubclass>();
    posted_ = std::make_unique<Queue>();
    delay_ = std::make_unique<Queue>();

    moTimer_ = std::make_unique<OwnedTimer>(TimerEx::Make(), pkTimerOneShot, delay, [this] { moTimer_Timer(); });

    window_ = form_->hWnd();
    handler_.Attach(SubclassHandler::Create(
        [this](HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam) { return WindowProc(hWnd, uMsg, wParam, lParam); }));
    attached_ = SubclassModule::AttachMessage(handler_.Get(), window_, QueueMessage);
    subscriber_ = subscriber;
}

EventQueue::Queue* EventQueue::QueueOf(QueueKind kind) noexcept {
    switch (kind) {
        case PostedQueue: return posted_.get();
        case DelayQueue: return delay_.get();
        default: return nullptr;
    }
}

int EventQueue::Waiting(QueueKind kind) const noexcept {
    const Queue* queue = const_cast<EventQueue*>(this)->QueueOf(kind);
    return queue ? queue->Count() : 0;
}

void EventQueue::Add(TVEvent eventType, AddMode mode, const std::wstring& eventID, QueueKind kind,
                     platform::Variant parameters) {
    Queue* queue = QueueOf(kind);
    if (!queue) platform::Raise(platform::errors::InvalidProcedureCall, L"EventQueue.Add");
    auto same = [&](const std::shared_ptr<EventInfo>& info) {
        return info->EventType() == eventType && info->EventID() == eventID;
    };
    bool append = true;
    if (mode == AddReplace) {
        Log.Skip(L"Add", [&] {
            for (int i = queue->Count(); i >= 1; --i)
                if (same(queue->Item(i))) queue->Remove(i);
        });
    } else if (mode == AddIfAbsent) {
        Log.Skip(L"Add", [&] {
            for (const auto& entry : *queue)
                if (same(entry.value)) {
                    append = false;
                    break;
                }
        });
    }
    if (append) {
        auto info = std::make_shared<EventInfo>();
        std::wstring id = info->InitEvent(eventType, eventID, std::move(parameters));
        queue->Add(std::move(id), std::move(info));
    }
    if (kind == PostedQueue)
        ::PostMessageW(window_, QueueMessage, PostedQueue, 0);
    else
        moTimer_->SetEnabled(true);
}

void EventQueue::DeliverOne(Queue& queue) {
    std::shared_ptr<EventInfo> info = queue.Item(1);
    // Out of the queue before the subscriber runs: a subscriber that pumps
    // messages must not receive the same record again.
    queue.Remove(1);
    VARIANT parameters = info->Parameters().get();
    Log.Skip(L"FireEvent", [&] { subscriber_->FireEvent(info->EventType(), &parameters); });
}

LRESULT EventQueue::WindowProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
    if (uMsg != QueueMessage || !subscriber_) return 0;
    // The subscriber normally owns this queue: keep it, and so the queue,
    // alive until this delivery is over, whatever its handlers release.
    platform::ComPtr<IEvent> keepAlive(subscriber_);
    Log.Skip(L"WindowProc", [&] {
        if (wParam == PostedQueue) {
            if (posted_->Count() > 0) DeliverOne(*posted_);
            if (posted_->Count() > 0) ::PostMessageW(hWnd, QueueMessage, PostedQueue, lParam);
        } else if (wParam == DelayQueue) {
            if (delay_->Count() > 0) DeliverOne(*delay_);
            if (delay_->Count() > 0 && lParam >= 2) ::PostMessageW(hWnd, QueueMessage, DelayQueue, lParam - 1);
        }
    });
    return 0;
}

void EventQueue::moTimer_Timer() {
    const int waiting = delay_ ? delay_->Count() : 0;
    if (waiting > 0) ::PostMessageW(window_, QueueMessage, DelayQueue, waiting);
}

void EventQueue::Flush(QueueKind kind) {
    if (!subscriber_) return;
    if (kind == AllQueues || kind == PostedQueue) {
        while (posted_ && posted_->Count() > 0) Log.Skip(L"Flush", [&] { DeliverOne(*posted_); });
    }
    if (kind == AllQueues || kind == DelayQueue) {
        Log.Skip(L"Flush", [&] { moTimer_->SetEnabled(false); });
        while (delay_ && delay_->Count() > 0) Log.Skip(L"Flush", [&] { DeliverOne(*delay_); });
    }
}

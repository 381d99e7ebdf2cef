#pragma once
// Turns a call made now (typically inside a window procedure) into a call of
// the subscriber later, from the thread's message loop: one event per
// dispatched message. The posted queue delivers as soon as the loop runs; the
// delay queue waits for a one-shot timer and then delivers the batch that was
// waiting when it fired.
#include <windows.h>

#include <memory>
#include <string>

#include "ComClient.h"
#include "EventInfo.h"
#include "KeyedCollection.h"
#include "KestrixInterfaces.h"
#include "SubclassHandler.h"
#include "OwnedTimer.h"
#include "frmSubclass.h"

class EventQueue {
public:
    static constexpr UINT QueueMessage = WM_USER + 142;

    enum AddMode { AddAlways = 0, AddReplace = 1, AddIfAbsent = 2 };
    enum QueueKind { AllQueues = -1, PostedQueue = 0, DelayQueue = 1 };

    EventQueue() = default;
    EventQueue(const EventQueue&) = delete;
    EventQueue& operator=(const EventQueue&) = delete;
    // Delivers everything still waiting, then lets the window and timer go.
    ~EventQueue();

    // With no subscriber nothing is set up and the queue must not be used.
    // The queue does not keep its subscriber alive.
    void Initialize(IEvent* subscriber, LONG delay);

    void Add(TVEvent eventType, AddMode mode, const std::wstring& eventID, QueueKind kind, platform::Variant parameters);
    void Flush(QueueKind kind);

    HWND Window() const noexcept { return window_; }
    bool Attached() const noexcept { return attached_; }
    int Waiting(QueueKind kind) const noexcept;

private:
    using Queue = platform::KeyedCollection<std::shared_ptr<EventInfo>>;

    Queue* QueueOf(QueueKind kind) noexcept;
    // Takes the oldest record out of the queue, then hands it to the subscriber.
    void DeliverOne(Queue& queue);
    LRESULT WindowProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);
    void moTimer_Timer();

    IEvent* subscriber_ = nullptr;
    std::unique_ptr<frmSubclass> form_;
    HWND window_ = nullptr;
    bool attached_ = false;
    std::unique_ptr<Queue> posted_;
    std::unique_ptr<Queue> delay_;
    std::unique_ptr<OwnedTimer> moTimer_;
    platform::ComPtr<SubclassHandler> handler_;
};

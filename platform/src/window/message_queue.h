// The message queue of one thread: posted messages, messages sent to it by
// other threads, the quit request and its timers. A queue is a signal source
// of the waiting core, so a thread blocked in GetMessageW or
// MsgWaitForMultipleObjects sleeps in the one scheduler wait like every other
// blocking call, and timers are deadlines on the platform clock.
//
// All state is kept under the scheduler lock (sync::LockScheduler()).
#pragma once

#include "sync/wait.h"

#include <winuser.h>

#include <deque>
#include <memory>
#include <vector>

namespace platform::window {

// A message that a thread sent to a window of another thread; the sender
// waits on it until the receiving thread has replied.
class SentMessage : public sync::SignalSource {
  public:
    SentMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, bool senderWaits)
        : hwnd(hwnd), message(message), wParam(wParam), lParam(lParam), senderWaits(senderWaits) {}

    bool IsSignalled() const override { return replied; }
    // Lock held.
    void Reply(LRESULT value);

    const HWND hwnd;
    const UINT message;
    const WPARAM wParam;
    const LPARAM lParam;
    const bool senderWaits;  // false for SendNotifyMessageW: nobody waits for the reply
    LRESULT result = 0;
    bool replied = false;
};

struct Timer {
    HWND hwnd;
    UINT_PTR id;
    UINT elapse;
    TIMERPROC proc;
    ULONGLONG due;  // the tick at which the timer next expires
    bool pending;   // expired and its WM_TIMER not yet retrieved
};

// What a message retrieval looks for.
struct MessageFilter {
    HWND hwnd = nullptr;  // null: any; (HWND)-1: thread messages only
    UINT first = 0;
    UINT last = 0;
    bool Matches(const MSG& msg) const;
};

class MessageQueue : public sync::SignalSource {
  public:
    explicit MessageQueue(DWORD threadId) : m_threadId(threadId) {}

    DWORD threadId() const { return m_threadId; }

    // Each of the following with the scheduler lock held.
    bool IsSignalled() const override;

    // False once the thread has ended.
    bool alive() const { return m_alive; }
    // The thread ended: pending sends are answered with 0, nothing more is
    // accepted.
    void Close();

    // False with the Windows error when the queue cannot take the message.
    DWORD Post(const MSG& msg);
    void PostQuit(int exitCode);
    void Send(std::shared_ptr<SentMessage> sent);
    // The oldest message sent to this thread and not yet served, or null.
    std::shared_ptr<SentMessage> TakeSent();
    bool HasSent() const { return !m_sent.empty(); }

    // Finds the next message for a retrieval, in Windows' order: posted
    // messages, then the quit request, then timers. Removes it when `remove`.
    bool Retrieve(const MessageFilter& filter, bool remove, MSG& msg);
    // Drops the posted messages and timers of a destroyed window.
    void ForgetWindow(HWND hwnd);

    // Timers by (window, id); for a thread timer (hwnd null) the id is the
    // system's choice. Returns the id.
    UINT_PTR SetTimer(HWND hwnd, UINT_PTR id, UINT elapse, TIMERPROC proc, ULONGLONG now);
    bool KillTimer(HWND hwnd, UINT_PTR id);
    // Marks the timers that have expired by `now` as pending (each at most
    // once) and schedules their next expiry.
    void ExpireTimers(ULONGLONG now);
    // The tick of the next expiry of a timer that is not pending yet.
    ULONGLONG NextTimerDue() const;

    // The QS_ bits of what is in the queue now.
    DWORD StatusBits() const;
    // The QS_ bits of what arrived since the owner last looked (ClearChanges).
    DWORD ChangeBits() const;
    void ClearChanges() { m_changed = 0; }

    // What the owner's current wait is woken by: arrivals of the kinds in
    // `mask`, or (`onStatus`) any message of those kinds in the queue.
    void SetWakeCondition(DWORD mask, bool onStatus) {
        m_wakeMask = mask;
        m_wakeOnStatus = onStatus;
    }

  private:
    void Arrived(DWORD bits);

    const DWORD m_threadId;
    bool m_alive = true;
    std::deque<MSG> m_posted;
    std::deque<std::shared_ptr<SentMessage>> m_sent;
    std::vector<Timer> m_timers;
    UINT_PTR m_nextThreadTimerId = 1;
    bool m_quit = false;
    int m_quitCode = 0;
    DWORD m_changed = 0;
    DWORD m_wakeMask = 0;
    bool m_wakeOnStatus = false;
};

// The calling thread's queue, created on first use.
std::shared_ptr<MessageQueue> CurrentQueue();
// The queue of a thread, or null when the thread has none (or has ended).
std::shared_ptr<MessageQueue> QueueOfThread(DWORD threadId);

}  // namespace platform::window

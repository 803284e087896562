// Thread message queues.
#include "window/message_queue.h"

#include "time/clock.h"
#include "window/window_table.h"

#include <winerror.h>

#include <algorithm>
#include <map>
#include <processthreadsapi.h>

namespace platform::window {
namespace {

// Windows refuses posts to a queue that already holds this many messages.
constexpr size_t kPostQuota = 10000;

const HWND kThreadMessagesOnly = reinterpret_cast<HWND>(static_cast<LONG_PTR>(-1));

// Queues by thread identifier, under the scheduler lock.
std::map<DWORD, std::shared_ptr<MessageQueue>>& Queues() {
    static auto* queues = new std::map<DWORD, std::shared_ptr<MessageQueue>>;
    return *queues;
}

// The calling thread's queue; when the thread ends its windows go and the
// queue closes, so that threads that sent to it are answered.
struct QueueHolder {
    std::shared_ptr<MessageQueue> queue;
    ~QueueHolder() {
        if (!queue)
            return;
        ForgetWindowsOfThread(queue->threadId());
        auto lock = sync::LockScheduler();
        queue->Close();
        Queues().erase(queue->threadId());
    }
};

thread_local QueueHolder currentQueue;

}  // namespace

void SentMessage::Reply(LRESULT value) {
    result = value;
    replied = true;
    WakeWaiters();
}

bool MessageFilter::Matches(const MSG& msg) const {
    if (first != 0 || last != 0) {
        if (msg.message < first || msg.message > last)
            return false;
    }
    if (hwnd == kThreadMessagesOnly)
        return msg.hwnd == nullptr;
    return hwnd == nullptr || msg.hwnd == hwnd || IsDescendant(msg.hwnd, hwnd);
}

bool MessageQueue::IsSignalled() const {
    DWORD bits = m_wakeOnStatus ? StatusBits() : ChangeBits();
    return (bits & m_wakeMask) != 0;
}

void MessageQueue::Close() {
    m_alive = false;
    m_posted.clear();
    m_timers.clear();
    while (!m_sent.empty()) {
        m_sent.front()->Reply(0);
        m_sent.pop_front();
    }
}

void MessageQueue::Arrived(DWORD bits) {
    m_changed |= bits;
    WakeWaiters();
}

DWORD MessageQueue::Post(const MSG& msg) {
    if (!m_alive)
        return ERROR_INVALID_THREAD_ID;
    if (m_posted.size() >= kPostQuota)
        return ERROR_NOT_ENOUGH_QUOTA;
    m_posted.push_back(msg);
    Arrived(QS_POSTMESSAGE | QS_ALLPOSTMESSAGE);
    return ERROR_SUCCESS;
}

void MessageQueue::PostQuit(int exitCode) {
    m_quit = true;
    m_quitCode = exitCode;
    Arrived(QS_POSTMESSAGE | QS_ALLPOSTMESSAGE);
}

void MessageQueue::Send(std::shared_ptr<SentMessage> sent) {
    if (!m_alive) {
        sent->Reply(0);
        return;
    }
    m_sent.push_back(std::move(sent));
    Arrived(QS_SENDMESSAGE);
}

std::shared_ptr<SentMessage> MessageQueue::TakeSent() {
    if (m_sent.empty())
        return nullptr;
    auto sent = std::move(m_sent.front());
    m_sent.pop_front();
    return sent;
}

bool MessageQueue::Retrieve(const MessageFilter& filter, bool remove, MSG& msg) {
    DWORD now = static_cast<DWORD>(clock::Tick());
    for (auto it = m_posted.begin(); it != m_posted.end(); ++it) {
        if (!filter.Matches(*it))
            continue;
        msg = *it;
        if (remove)
            m_posted.erase(it);
        return true;
    }
    // The quit request comes when no posted message is left, whatever the
    // filter says.
    if (m_quit) {
        msg = MSG{nullptr, WM_QUIT, static_cast<WPARAM>(m_quitCode), 0, now, {}};
        if (remove)
            m_quit = false;
        return true;
    }
    ExpireTimers(clock::Tick());
    for (Timer& timer : m_timers) {
        if (!timer.pending)
            continue;
        MSG candidate{timer.hwnd, WM_TIMER, timer.id, reinterpret_cast<LPARAM>(timer.proc),
                      now,        {}};
        if (!filter.Matches(candidate))
            continue;
        msg = candidate;
        if (remove)
            timer.pending = false;
        return true;
    }
    return false;
}

void MessageQueue::ForgetWindow(HWND hwnd) {
    std::erase_if(m_posted, [&](const MSG& msg) { return msg.hwnd == hwnd; });
    std::erase_if(m_timers, [&](const Timer& timer) { return timer.hwnd == hwnd; });
}

UINT_PTR MessageQueue::SetTimer(HWND hwnd, UINT_PTR id, UINT elapse, TIMERPROC proc,
                                ULONGLONG now) {
    elapse = std::clamp<UINT>(elapse, USER_TIMER_MINIMUM, USER_TIMER_MAXIMUM);
    auto existing = std::find_if(m_timers.begin(), m_timers.end(), [&](const Timer& timer) {
        return timer.hwnd == hwnd && timer.id == id;
    });
    if (existing == m_timers.end() && !hwnd) {
        // A new thread timer gets an identifier of the system's choice.
        auto taken = [&](UINT_PTR candidate) {
            return std::any_of(m_timers.begin(), m_timers.end(), [&](const Timer& timer) {
                return !timer.hwnd && timer.id == candidate;
            });
        };
        while (taken(m_nextThreadTimerId))
            ++m_nextThreadTimerId;
        id = m_nextThreadTimerId++;
    }
    Timer timer{hwnd, id, elapse, proc, now + elapse, false};
    if (existing != m_timers.end())
        *existing = timer;  // replacing a timer starts its period again
    else
        m_timers.push_back(timer);
    // A thread waiting on the queue must look at the new deadline.
    WakeWaiters();
    return id;
}

bool MessageQueue::KillTimer(HWND hwnd, UINT_PTR id) {
    return std::erase_if(m_timers, [&](const Timer& timer) {
               return timer.hwnd == hwnd && timer.id == id;
           }) > 0;
}

void MessageQueue::ExpireTimers(ULONGLONG now) {
    for (Timer& timer : m_timers) {
        if (timer.due > now)
            continue;
        // Expiries that were missed coalesce into the one pending WM_TIMER;
        // the period keeps its rhythm.
        timer.pending = true;
        ULONGLONG periods = (now - timer.due) / timer.elapse + 1;
        timer.due += periods * timer.elapse;
        m_changed |= QS_TIMER;
    }
}

ULONGLONG MessageQueue::NextTimerDue() const {
    ULONGLONG next = sync::kNoDeadline;
    for (const Timer& timer : m_timers)
        next = std::min(next, timer.due);
    return next;
}

DWORD MessageQueue::StatusBits() const {
    DWORD bits = 0;
    if (!m_posted.empty() || m_quit)
        bits |= QS_POSTMESSAGE | QS_ALLPOSTMESSAGE;
    if (!m_sent.empty())
        bits |= QS_SENDMESSAGE;
    ULONGLONG now = clock::Tick();
    if (std::any_of(m_timers.begin(), m_timers.end(),
                    [&](const Timer& timer) { return timer.pending || timer.due <= now; })) {
        bits |= QS_TIMER;
    }
    return bits;
}

DWORD MessageQueue::ChangeBits() const {
    DWORD bits = m_changed;
    ULONGLONG now = clock::Tick();
    if (std::any_of(m_timers.begin(), m_timers.end(),
                    [&](const Timer& timer) { return timer.due <= now; })) {
        bits |= QS_TIMER;
    }
    return bits;
}

std::shared_ptr<MessageQueue> CurrentQueue() {
    if (!currentQueue.queue) {
        DWORD id = GetCurrentThreadId();
        auto queue = std::make_shared<MessageQueue>(id);
        auto lock = sync::LockScheduler();
        Queues()[id] = queue;
        currentQueue.queue = std::move(queue);
    }
    return currentQueue.queue;
}

std::shared_ptr<MessageQueue> QueueOfThread(DWORD threadId) {
    auto lock = sync::LockScheduler();
    auto it = Queues().find(threadId);
    return it == Queues().end() ? nullptr : it->second;
}

}  // namespace platform::window

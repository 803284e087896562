// Posting, sending, retrieving and dispatching messages, and the waits that
// wake for them.
#include "sync/wait_set.h"
#include "time/clock.h"
#include "window/message_queue.h"
#include "window/messaging.h"
#include "window/window_table.h"

#include <errhandlingapi.h>
#include <processthreadsapi.h>
#include <synchapi.h>
#include <sysinfoapi.h>
#include <winerror.h>
#include <winuser.h>

#include <algorithm>
#include <array>
#include <memory>

namespace platform::window {
namespace {

const HWND kThreadMessagesOnly = reinterpret_cast<HWND>(static_cast<LONG_PTR>(-1));

// Depth of sent messages from other threads being served on this thread.
thread_local int servingSends = 0;

BOOL Fail(DWORD error) {
    SetLastError(error);
    return FALSE;
}

// Messages whose parameters point into the sender's memory cannot be posted.
bool CarriesPointers(UINT message) {
    switch (message) {
        case WM_CREATE:
        case WM_NCCREATE:
        case WM_SETTEXT:
        case WM_GETTEXT:
            return true;
        default:
            return false;
    }
}

MSG MakeMsg(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    return MSG{hwnd, message, wParam, lParam, static_cast<DWORD>(clock::Tick()), {}};
}

DWORD PostToQueue(MessageQueue& queue, const MSG& msg) {
    auto lock = sync::LockScheduler();
    return queue.Post(msg);
}

// Waits with the lock held until the queue's wake condition holds, a timer
// falls due (when `timers`), or `deadline` passes; false when the deadline
// passed first.
bool WaitOnQueue(std::unique_lock<std::mutex>& lock, MessageQueue& queue, bool timers,
                 ULONGLONG deadline) {
    sync::SignalSource* sources[] = {&queue};
    for (;;) {
        ULONGLONG wake = timers ? std::min(deadline, queue.NextTimerDue()) : deadline;
        if (sync::Wait(lock, sources, sync::WaitMode::Any, wake).signalled)
            return true;
        if (deadline != sync::kNoDeadline && clock::Tick() >= deadline)
            return false;
        // A timer fell due: it is a wake if the queue now says so.
    }
}

// Finds, and with `wait` waits for, the next message of the filter; sent
// messages are served first. False when none (only without `wait`).
bool Retrieve(MSG& msg, const MessageFilter& filter, bool remove, bool wait) {
    auto queue = CurrentQueue();
    for (;;) {
        ServeSentMessages();
        auto lock = sync::LockScheduler();
        if (queue->HasSent())
            continue;
        bool found = queue->Retrieve(filter, remove, msg);
        queue->ClearChanges();
        if (found)
            return true;
        if (!wait)
            return false;
        queue->SetWakeCondition(QS_ALLINPUT, false);
        WaitOnQueue(lock, *queue, true, sync::kNoDeadline);
    }
}

bool ValidFilterWindow(HWND hwnd) {
    return !hwnd || hwnd == kThreadMessagesOnly || Exists(hwnd);
}

// Sends to a window of another thread and waits for the reply, serving what
// is sent to this thread meanwhile. False when `deadline` passed first.
bool SendAcrossThreads(MessageQueue& target, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                       ULONGLONG deadline, LRESULT& result) {
    auto sent = std::make_shared<SentMessage>(hwnd, message, wParam, lParam, true);
    auto self = CurrentQueue();
    auto lock = sync::LockScheduler();
    target.Send(sent);
    sync::SignalSource* sources[] = {sent.get(), self.get()};
    for (;;) {
        if (sent->replied) {
            result = sent->result;
            return true;
        }
        self->SetWakeCondition(QS_SENDMESSAGE, true);
        auto outcome = sync::Wait(lock, sources, sync::WaitMode::Any, deadline);
        if (!outcome.signalled)
            return false;
        if (outcome.index == 1) {
            lock.unlock();
            ServeSentMessages();
            lock.lock();
        }
    }
}

// The queue of the thread that owns `hwnd`, or null for a bad window.
std::shared_ptr<MessageQueue> QueueOfWindow(HWND hwnd, DWORD* threadId = nullptr) {
    std::shared_ptr<MessageQueue> queue;
    WithWindow(hwnd, [&](Window& window) {
        queue = window.queue;
        if (threadId)
            *threadId = window.threadId;
    });
    return queue;
}

// Sends with an optional time limit; false with the error set when the
// window is bad or the time ran out.
bool SendWithin(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, ULONGLONG deadline,
                LRESULT& result) {
    DWORD owner = 0;
    auto queue = QueueOfWindow(hwnd, &owner);
    if (!queue)
        return Fail(ERROR_INVALID_WINDOW_HANDLE);
    if (owner == GetCurrentThreadId()) {
        result = CallCurrentProc(hwnd, message, wParam, lParam);
        return true;
    }
    if (!SendAcrossThreads(*queue, hwnd, message, wParam, lParam, deadline, result))
        return Fail(ERROR_TIMEOUT);
    return true;
}

}  // namespace

LRESULT CallCurrentProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    WNDPROC proc = ProcOf(hwnd);
    return proc ? proc(hwnd, message, wParam, lParam) : 0;
}

void ServeSentMessages() {
    auto queue = CurrentQueue();
    for (;;) {
        std::shared_ptr<SentMessage> sent;
        {
            auto lock = sync::LockScheduler();
            sent = queue->TakeSent();
        }
        if (!sent)
            return;
        ++servingSends;
        LRESULT result = Exists(sent->hwnd) ? CallCurrentProc(sent->hwnd, sent->message,
                                                              sent->wParam, sent->lParam)
                                            : 0;
        --servingSends;
        auto lock = sync::LockScheduler();
        sent->Reply(result);
    }
}

bool PumpOneMessage() {
    MSG msg;
    Retrieve(msg, {}, true, true);
    if (msg.message == WM_QUIT) {
        PostQuitMessage(static_cast<int>(msg.wParam));
        return false;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
    return true;
}

}  // namespace platform::window

using namespace platform::window;

extern "C" BOOL WINAPI PostThreadMessageW(DWORD idThread, UINT Msg, WPARAM wParam, LPARAM lParam) {
    auto queue = idThread == GetCurrentThreadId() ? CurrentQueue() : QueueOfThread(idThread);
    if (!queue)
        return Fail(ERROR_INVALID_THREAD_ID);
    if (CarriesPointers(Msg))
        return Fail(ERROR_MESSAGE_SYNC_ONLY);
    DWORD error = PostToQueue(*queue, MakeMsg(nullptr, Msg, wParam, lParam));
    return error == ERROR_SUCCESS ? TRUE : Fail(error);
}

extern "C" BOOL WINAPI PostMessageW(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    if (!hWnd)
        return PostThreadMessageW(GetCurrentThreadId(), Msg, wParam, lParam);
    if (CarriesPointers(Msg))
        return Fail(ERROR_MESSAGE_SYNC_ONLY);
    if (hWnd == HWND_BROADCAST) {
        for (HWND target : WindowsUnder(nullptr))
            PostMessageW(target, Msg, wParam, lParam);
        return TRUE;
    }
    auto queue = QueueOfWindow(hWnd);
    if (!queue)
        return Fail(ERROR_INVALID_WINDOW_HANDLE);
    DWORD error = PostToQueue(*queue, MakeMsg(hWnd, Msg, wParam, lParam));
    return error == ERROR_SUCCESS ? TRUE : Fail(error);
}

extern "C" void WINAPI PostQuitMessage(int nExitCode) {
    auto queue = CurrentQueue();
    auto lock = platform::sync::LockScheduler();
    queue->PostQuit(nExitCode);
}

extern "C" LRESULT WINAPI SendMessageW(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    SendWithin(hWnd, Msg, wParam, lParam, platform::sync::kNoDeadline, result);
    return result;
}

// A send to another thread that runs out of time leaves the message in that
// thread's queue: it is still served later, and its result is dropped.
extern "C" LRESULT WINAPI SendMessageTimeoutW(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam,
                                              UINT, UINT uTimeout, PDWORD_PTR lpdwResult) {
    LRESULT result = 0;
    if (!SendWithin(hWnd, Msg, wParam, lParam, platform::sync::DeadlineAfter(uTimeout), result))
        return 0;
    if (lpdwResult)
        *lpdwResult = static_cast<DWORD_PTR>(result);
    return 1;
}

extern "C" BOOL WINAPI SendNotifyMessageW(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    DWORD owner = 0;
    auto queue = QueueOfWindow(hWnd, &owner);
    if (!queue)
        return Fail(ERROR_INVALID_WINDOW_HANDLE);
    if (owner == GetCurrentThreadId()) {
        CallCurrentProc(hWnd, Msg, wParam, lParam);
        return TRUE;
    }
    auto sent = std::make_shared<SentMessage>(hWnd, Msg, wParam, lParam, false);
    auto lock = platform::sync::LockScheduler();
    queue->Send(std::move(sent));
    return TRUE;
}

extern "C" BOOL WINAPI InSendMessage(void) {
    return servingSends > 0;
}

extern "C" BOOL WINAPI GetMessageW(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax) {
    if (!lpMsg) {
        SetLastError(ERROR_NOACCESS);
        return -1;
    }
    if (!ValidFilterWindow(hWnd)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return -1;
    }
    Retrieve(*lpMsg, {hWnd, wMsgFilterMin, wMsgFilterMax}, true, true);
    return lpMsg->message != WM_QUIT;
}

extern "C" BOOL WINAPI PeekMessageW(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax,
                                    UINT wRemoveMsg) {
    if (!ValidFilterWindow(hWnd))
        return Fail(ERROR_INVALID_WINDOW_HANDLE);
    MSG msg;
    if (!Retrieve(msg, {hWnd, wMsgFilterMin, wMsgFilterMax}, wRemoveMsg & PM_REMOVE, false))
        return FALSE;
    if (lpMsg)
        *lpMsg = msg;
    return TRUE;
}

// A WM_TIMER that carries a callback runs the callback, also for a thread
// timer; other thread messages are not dispatched.
extern "C" LRESULT WINAPI DispatchMessageW(const MSG* lpMsg) {
    if (!lpMsg)
        return 0;
    if (lpMsg->message == WM_TIMER && lpMsg->lParam) {
        auto proc = reinterpret_cast<TIMERPROC>(lpMsg->lParam);
        proc(lpMsg->hwnd, WM_TIMER, lpMsg->wParam, GetTickCount());
        return 0;
    }
    if (!lpMsg->hwnd)
        return 0;
    if (!Exists(lpMsg->hwnd))
        return Fail(ERROR_INVALID_WINDOW_HANDLE);
    return CallCurrentProc(lpMsg->hwnd, lpMsg->message, lpMsg->wParam, lpMsg->lParam);
}

// There is no keyboard, so there is never a key message to translate.
extern "C" BOOL WINAPI TranslateMessage(const MSG*) {
    return FALSE;
}

extern "C" BOOL WINAPI WaitMessage(void) {
    auto queue = CurrentQueue();
    auto lock = platform::sync::LockScheduler();
    queue->SetWakeCondition(QS_ALLINPUT, false);
    WaitOnQueue(lock, *queue, true, platform::sync::kNoDeadline);
    return TRUE;
}

extern "C" DWORD WINAPI GetQueueStatus(UINT flags) {
    auto queue = CurrentQueue();
    auto lock = platform::sync::LockScheduler();
    queue->ExpireTimers(platform::clock::Tick());
    DWORD status = queue->StatusBits() & flags;
    DWORD changes = queue->ChangeBits() & status;
    queue->ClearChanges();
    return MAKELONG(changes, status);
}

extern "C" DWORD WINAPI MsgWaitForMultipleObjectsEx(DWORD nCount, const HANDLE* pHandles,
                                                    DWORD dwMilliseconds, DWORD dwWakeMask,
                                                    DWORD dwFlags) {
    // One place of the 64 belongs to the queue.
    if (nCount > MAXIMUM_WAIT_OBJECTS - 1) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return WAIT_FAILED;
    }
    if (nCount > 0 && !pHandles) {
        SetLastError(ERROR_NOACCESS);
        return WAIT_FAILED;
    }
    platform::sync::WaitSet set;
    if (!platform::sync::CollectWaitSet(pHandles, nCount, set)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return WAIT_FAILED;
    }
    bool waitAll = dwFlags & MWMO_WAITALL;
    if (waitAll && platform::sync::HasRepeatedObject(set.sources)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return WAIT_FAILED;
    }
    auto queue = CurrentQueue();
    set.sources.push_back(queue.get());
    ULONGLONG deadline = platform::sync::DeadlineAfter(dwMilliseconds);
    auto mode = waitAll ? platform::sync::WaitMode::All : platform::sync::WaitMode::Any;
    bool timers = dwWakeMask & QS_TIMER;

    auto lock = platform::sync::LockScheduler();
    queue->SetWakeCondition(dwWakeMask, dwFlags & MWMO_INPUTAVAILABLE);
    for (;;) {
        ULONGLONG wake = timers ? std::min(deadline, queue->NextTimerDue()) : deadline;
        auto outcome = platform::sync::Wait(lock, set.sources, mode, wake);
        if (outcome.signalled)
            return WAIT_OBJECT_0 + (waitAll ? 0 : static_cast<DWORD>(outcome.index));
        if (deadline != platform::sync::kNoDeadline && platform::clock::Tick() >= deadline)
            return WAIT_TIMEOUT;
    }
}

extern "C" DWORD WINAPI MsgWaitForMultipleObjects(DWORD nCount, const HANDLE* pHandles,
                                                  BOOL fWaitAll, DWORD dwMilliseconds,
                                                  DWORD dwWakeMask) {
    return MsgWaitForMultipleObjectsEx(nCount, pHandles, dwMilliseconds, dwWakeMask,
                                       fWaitAll ? MWMO_WAITALL : 0);
}

extern "C" LRESULT WINAPI CallWindowProcW(WNDPROC lpPrevWndFunc, HWND hWnd, UINT Msg, WPARAM wParam,
                                          LPARAM lParam) {
    return lpPrevWndFunc ? lpPrevWndFunc(hWnd, Msg, wParam, lParam) : 0;
}

// MessageBoxW: the box is a record the host answers. While it is open, the
// thread that showed it runs a nested message loop, as on Windows, so posted
// messages and sends to its windows are served before the answer comes.
#include "sync/event.h"
#include "window/messaging.h"

#include <platform/windows.h>

#include <errhandlingapi.h>
#include <processthreadsapi.h>
#include <synchapi.h>
#include <handleapi.h>
#include <winuser.h>

#include <deque>
#include <mutex>

namespace platform::window {
namespace {

struct Boxes {
    std::mutex lock;
    std::vector<host::MessageBoxRecord> shown;  // every box, in order
    std::deque<int> queuedAnswers;
    std::function<int(const host::MessageBoxRecord&)> handler;
    bool hold = false;
    std::vector<HANDLE> waiting;  // one event per open box, set when answers may have come
};

Boxes& TheBoxes() {
    static auto* boxes = new Boxes;
    return *boxes;
}

// The answer a box gets without the host stepping in: its first button.
int DefaultAnswer(UINT type) {
    switch (type & MB_TYPEMASK) {
        case MB_ABORTRETRYIGNORE:
            return IDABORT;
        case MB_YESNOCANCEL:
        case MB_YESNO:
            return IDYES;
        case MB_RETRYCANCEL:
            return IDRETRY;
        case MB_CANCELTRYCONTINUE:
            return IDCANCEL;
        default:
            return IDOK;
    }
}

// Gives box `index` the answer it is due now, if any; the lock is held,
// except around the host's handler.
void TryAutomaticAnswer(std::unique_lock<std::mutex>& lock, size_t index) {
    auto& boxes = TheBoxes();
    if (boxes.shown[index].answer)
        return;
    if (!boxes.queuedAnswers.empty()) {
        boxes.shown[index].answer = boxes.queuedAnswers.front();
        boxes.queuedAnswers.pop_front();
        return;
    }
    if (boxes.handler) {
        auto handler = boxes.handler;
        auto record = boxes.shown[index];
        lock.unlock();
        int answer = handler(record);
        lock.lock();
        if (answer && !boxes.shown[index].answer)
            boxes.shown[index].answer = answer;
        return;
    }
    if (!boxes.hold)
        boxes.shown[index].answer = DefaultAnswer(boxes.shown[index].type);
}

// Wakes every open box to look for its answer.
void WakeBoxes() {
    auto& boxes = TheBoxes();
    std::lock_guard guard(boxes.lock);
    for (HANDLE event : boxes.waiting)
        SetEvent(event);
}

// Dispatches what waits in the queue; false when WM_QUIT came (it is posted
// again for the outer loop).
bool DrainQueue() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(msg.wParam));
            return false;
        }
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return true;
}

}  // namespace
}  // namespace platform::window

using namespace platform::window;

extern "C" int WINAPI MessageBoxW(HWND hWnd, LPCWSTR lpText, LPCWSTR lpCaption, UINT uType) {
    auto& boxes = TheBoxes();
    size_t index;
    HANDLE wake = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    {
        std::lock_guard guard(boxes.lock);
        boxes.waiting.push_back(wake);
        index = boxes.shown.size();
        boxes.shown.push_back({hWnd, lpCaption ? lpCaption : L"Error", lpText ? lpText : L"", uType,
                               GetCurrentThreadId(), 0});
    }
    // The owner is disabled while its box is open.
    bool ownerWasEnabled = hWnd && IsWindowEnabled(hWnd);
    if (ownerWasEnabled)
        EnableWindow(hWnd, FALSE);
    int answer = 0;
    for (;;) {
        bool quit = !DrainQueue();
        std::unique_lock lock(boxes.lock);
        TryAutomaticAnswer(lock, index);
        if (!boxes.shown[index].answer && quit)
            boxes.shown[index].answer = DefaultAnswer(uType);
        if ((answer = boxes.shown[index].answer) != 0)
            break;
        ResetEvent(wake);
        lock.unlock();
        MsgWaitForMultipleObjects(1, &wake, FALSE, INFINITE, QS_ALLINPUT);
    }
    {
        std::lock_guard guard(boxes.lock);
        std::erase(boxes.waiting, wake);
    }
    CloseHandle(wake);
    if (ownerWasEnabled)
        EnableWindow(hWnd, TRUE);
    return answer;
}

namespace platform::host {

void QueueMessageBoxAnswer(int answer) {
    auto& boxes = TheBoxes();
    {
        std::lock_guard guard(boxes.lock);
        boxes.queuedAnswers.push_back(answer);
    }
    WakeBoxes();
}

void SetMessageBoxHandler(std::function<int(const MessageBoxRecord&)> handler) {
    auto& boxes = TheBoxes();
    std::lock_guard guard(boxes.lock);
    boxes.handler = std::move(handler);
}

void HoldMessageBoxes(bool hold) {
    auto& boxes = TheBoxes();
    {
        std::lock_guard guard(boxes.lock);
        boxes.hold = hold;
    }
    WakeBoxes();
}

bool AnswerMessageBox(int answer) {
    auto& boxes = TheBoxes();
    {
        std::lock_guard guard(boxes.lock);
        auto open = std::find_if(boxes.shown.begin(), boxes.shown.end(),
                                 [](const MessageBoxRecord& box) { return box.answer == 0; });
        if (open == boxes.shown.end())
            return false;
        open->answer = answer;
    }
    WakeBoxes();
    return true;
}

std::vector<MessageBoxRecord> MessageBoxes() {
    auto& boxes = TheBoxes();
    std::lock_guard guard(boxes.lock);
    return boxes.shown;
}

std::vector<MessageBoxRecord> OpenMessageBoxes() {
    auto& boxes = TheBoxes();
    std::lock_guard guard(boxes.lock);
    std::vector<MessageBoxRecord> open;
    for (auto& box : boxes.shown) {
        if (!box.answer)
            open.push_back(box);
    }
    return open;
}

}  // namespace platform::host

#include "addin/workers/bv_worker.h"

#include "support/log/trace_scope.h"

CBVWorker::CBVWorker() : m_stopped(CreateEventW(nullptr, TRUE, TRUE, nullptr)) {}

void CBVWorker::Set(HWND hWnd) {
    CTraceScope trace("CBVWorker::Set");
    replay::scope lock(&m_lock);
    m_hWnd = hWnd;
}

HWND CBVWorker::WindowHandle() {
    CTraceScope trace("CBVWorker::WindowHandle");
    replay::scope lock(&m_lock);
    return m_hWnd;
}

void CBVWorker::SetIsAction(DWORD isAction) {
    CTraceScope trace("CBVWorker::SetIsAction");
    replay::scope lock(&m_lock);
    m_isAction = isAction;
    if (m_stopped)
        isAction ? ResetEvent(m_stopped.get()) : SetEvent(m_stopped.get());
}

DWORD CBVWorker::IsAction() {
    CTraceScope trace("CBVWorker::IsAction");
    replay::scope lock(&m_lock);
    return m_isAction;
}

bool CBVWorker::PauseUnlessStopped(DWORD milliseconds) {
    // Without its event the worker can only sleep the pause out.
    if (!m_stopped) {
        Sleep(milliseconds);
        return !IsAction();
    }
    return WaitForSingleObject(m_stopped.get(), milliseconds) != WAIT_TIMEOUT || !IsAction();
}

#include "addin/workers/bv_worker.h"

#include "support/log/trace_scope.h"

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
}

DWORD CBVWorker::IsAction() {
    CTraceScope trace("CBVWorker::IsAction");
    replay::scope lock(&m_lock);
    return m_isAction;
}

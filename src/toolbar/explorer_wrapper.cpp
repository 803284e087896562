#include "toolbar/explorer_wrapper.h"

#include "addin/crash/entry_guard.h"
#include "support/log/logged_stage.h"
#include "support/log/trace_scope.h"
#include "support/replay/mutex.h"
#include "toolbar/explorer_tracking.h"

namespace {

using ActivateSink = IDispEventSimpleImpl<1, CExplorerWrapper, &__uuidof(Outlook::ExplorerEvents)>;
using CloseSink = IDispEventSimpleImpl<2, CExplorerWrapper, &__uuidof(Outlook::ExplorerEvents)>;
using SelectionSink = IDispEventSimpleImpl<3, CExplorerWrapper, &__uuidof(Outlook::ExplorerEvents)>;

// Counts constructions; each wrapper takes the next serial.
DWORD g_nextSerial = 0;

// Serializes the two handlers that may build a bar.
replay::mutex& WrapperLock() {
    static replay::mutex lock;
    return lock;
}

}  // namespace

_ATL_FUNC_INFO CExplorerWrapper::kNoArgumentsInfo = {CC_STDCALL, VT_EMPTY, 0, {}};

CExplorerWrapper::CExplorerWrapper() : m_serial(g_nextSerial++) {}

CExplorerWrapper::~CExplorerWrapper() {
    UnadviseInterface();
}

void CExplorerWrapper::AdviseInterface(Outlook::_Explorer* explorer, CExplorerTracker* tracker) {
    CTraceScope trace("CExplorerWrapper::AdviseInterface");
    m_tracker = tracker;
    m_explorer = explorer;
    if (!m_explorer)
        return;
    static_cast<ActivateSink&>(*this).DispEventAdvise(m_explorer);
    static_cast<CloseSink&>(*this).DispEventAdvise(m_explorer);
    static_cast<SelectionSink&>(*this).DispEventAdvise(m_explorer);
}

void CExplorerWrapper::UnadviseInterface() {
    CTraceScope trace("CExplorerWrapper::UnadviseInterface");
    if (!m_explorer)
        return;
    // Unadvising resets each cookie to the not-connected value.
    static_cast<ActivateSink&>(*this).DispEventUnadvise(m_explorer);
    static_cast<CloseSink&>(*this).DispEventUnadvise(m_explorer);
    static_cast<SelectionSink&>(*this).DispEventUnadvise(m_explorer);
    m_explorer.Release();
}

void __stdcall CExplorerWrapper::OnActivateExplorer() {
    GuardedEntry([this] { BuildToolbarOnce("CExplorerWrapper::OnActivateExplorer"); });
}

void __stdcall CExplorerWrapper::OnSelectionChange() {
    GuardedEntry([this] { BuildToolbarOnce("CExplorerWrapper::OnSelectionChange"); });
}

// A failed build leaves the toolbar pending, so the next activation or
// selection change of this explorer tries again.
void CExplorerWrapper::BuildToolbarOnce(const char* function) {
    CTraceScope trace(function);
    replay::scope guard(&WrapperLock());
    RunLoggedStage(
        function, L"Unhandled exception",
        [this] {
            if (m_isToolbarPending && m_tracker) {
                m_tracker->AddToolbar(m_explorer);
                m_isToolbarPending = 0;
            }
        },
        OtherFailures::LoggedAndRethrown);
}

void __stdcall CExplorerWrapper::OnCloseExplorer() {
    GuardedEntry([this] {
        CTraceScope trace("CExplorerWrapper::OnCloseExplorer");
        UnadviseInterface();
        if (m_tracker)
            m_tracker->RemoveExplorerWrapper(m_serial);
    });
}

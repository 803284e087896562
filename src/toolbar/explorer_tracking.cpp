#include "toolbar/explorer_tracking.h"

#include "support/log/logged_stage.h"
#include "support/log/logger.h"
#include "support/log/trace_scope.h"
#include "support/utility/com_error.h"

namespace {

// The log knows these steps by the add-in object's names for them.
constexpr const char* kInitHandler = "CConnect::InitHandler";

}  // namespace

CExplorerTracker::CExplorerTracker(CExplorerTrackerOwner& owner) : m_owner(owner) {}

void CExplorerTracker::ChangeExplorerCount(const char* function, LONG change) {
    m_explorerCount += change;
    CLogger::GetInstance().LogNumber(function, L"Total explorers: ",
                                     static_cast<DWORD>(m_explorerCount));
}

void CExplorerTracker::TakeFirstExplorer(Outlook::_Explorer* explorer,
                                         Outlook::_Application* application) {
    m_records.resize(1);
    CToolbarRecord& first = m_records.front();
    if (explorer) {
        first.explorer = explorer;
        return;
    }
    RunLoggedStage(kInitHandler, L"Unhandled exception", [&] {
        first.explorer.Release();
        // The explorer counts whether or not Outlook could name it.
        ChangeExplorerCount(kInitHandler, +1);
        if (!application)
            return;
        RaiseIfFailed(application->ActiveExplorer(&first.explorer), application);
    });
    if (!first.explorer)
        CLogger::GetInstance().LogMessage(kInitHandler, L"Could not get active explorer");
    if (m_explorerCount == 1) {
        if (!first.explorer || !m_owner.WatchFirstExplorer(first.explorer))
            CLogger::GetInstance().LogMessage(kInitHandler, L"Could not advise first explorer");
    }
}

void CExplorerTracker::OnNewExplorer(Outlook::_Explorer* explorer) {
    CTraceScope trace("CConnect::OnNewExplorerImpl");
    auto wrapper = std::make_unique<CExplorerWrapper>();
    wrapper->AdviseInterface(explorer, this);
    m_wrappers.push_back(std::move(wrapper));
}

void CExplorerTracker::RemoveExplorerWrapper(DWORD) {
    constexpr const char* kFunction = "CConnect::RemoveExplorerWrapper";
    CTraceScope trace(kFunction);
    ChangeExplorerCount(kFunction, -1);
}

void CExplorerTracker::OnFirstExplorerClose() {
    constexpr const char* kFunction = "CConnect::OnCloseExplorerImpl";
    CTraceScope trace(kFunction);
    ChangeExplorerCount(kFunction, -1);
    m_owner.SaveFirstToolbarPosition();
    if (m_records.empty() || !m_records.front().explorer)
        return;
    CComPtr<Outlook::_Explorer>& first = m_records.front().explorer;
    m_owner.UnwatchFirstExplorer(first);
    first.Release();
}

void CExplorerTracker::AddToolbar(Outlook::_Explorer* explorer) {
    constexpr const char* kFunction = "CConnect::AddToolbar";
    CTraceScope trace(kFunction);
    ChangeExplorerCount(kFunction, +1);
    const bool started = m_owner.IsStarted();
    CLogger::GetInstance().LogNumber(kFunction, L"initialized: ", started ? 1 : 0);
    if (!started) {
        m_owner.StartDeferred(explorer);
        return;
    }
    CToolbarRecord record;
    record.explorer = explorer;
    m_records.push_back(std::move(record));
    m_owner.SetUpToolbar(m_records.back());
}

HWND GetActiveExplorerWindow(Outlook::_Application* application) {
    CTraceScope trace("CConnect::GetCurrentExplorerHWND");
    if (!application)
        return nullptr;
    CComPtr<Outlook::_Explorer> active;
    if (FAILED(application->ActiveExplorer(&active)) || !active)
        return nullptr;
    CComBSTR caption;
    if (FAILED(active->get_Caption(&caption)) || caption.Length() == 0)
        return nullptr;
    return FindWindowW(L"rctrl_renwnd32", caption);
}

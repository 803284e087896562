// The explorers of the add-in object: those opened after connection get a
// wrapper that builds their bar, the first one is watched by the add-in
// itself, and the active one owns the add-in's message boxes.
#include "addin/server/connect.h"

#include "addin/crash/entry_guard.h"
#include "support/log/logger.h"
#include "support/log/trace_scope.h"
#include "toolbar/explorer_wrapper.h"

namespace {

void LogTotalExplorers(const char* function, LONG count) {
    CLogger::GetInstance().LogNumber(function, L"Total explorers: ", static_cast<DWORD>(count));
}

}  // namespace

void __stdcall CConnect::OnNewExplorer(IDispatch* explorer) {
    GuardedEntry([&] {
        CComQIPtr<Outlook::_Explorer> newExplorer(explorer);
        OnNewExplorerImpl(newExplorer);
    });
}

void __stdcall CConnect::OnCloseExplorer() {
    GuardedEntry([&] { OnCloseExplorerImpl(); });
}

void CConnect::OnNewExplorerImpl(Outlook::_Explorer* explorer) {
    CTraceScope trace("CConnect::OnNewExplorerImpl");
    auto wrapper = std::make_unique<CExplorerWrapper>();
    wrapper->AdviseInterface(explorer, this);
    m_wrappers.push_back(std::move(wrapper));
}

void CConnect::RemoveExplorerWrapper(DWORD) {
    CTraceScope trace("CConnect::RemoveExplorerWrapper");
    --m_explorerCount;
    LogTotalExplorers("CConnect::RemoveExplorerWrapper", m_explorerCount);
}

void CConnect::OnCloseExplorerImpl() {
    constexpr const char* kFunction = "CConnect::OnCloseExplorerImpl";
    CTraceScope trace(kFunction);
    --m_explorerCount;
    LogTotalExplorers(kFunction, m_explorerCount);
    // The first bar's position is saved here once the toolbar exists.
    if (m_explorerList.empty() || !m_explorerList.front().explorer)
        return;
    CComPtr<Outlook::_Explorer>& first = m_explorerList.front().explorer;
    if (m_isFirstExplorerWatched)
        FirstExplorerCloseSink().DispEventUnadvise(first);
    first.Release();
}

void CConnect::AddToolbar(Outlook::_Explorer* explorer) {
    constexpr const char* kFunction = "CConnect::AddToolbar";
    CTraceScope trace(kFunction);
    ++m_explorerCount;
    LogTotalExplorers(kFunction, m_explorerCount);
    CLogger::GetInstance().LogNumber(kFunction, L"initialized: ", m_isInitialized);
    if (!m_isInitialized) {
        StartDeferred(explorer);
        return;
    }
    CToolbarRecord record;
    record.explorer = explorer;
    m_explorerList.push_back(std::move(record));
    // The bar is built, placed, enabled and given its advert here once the
    // toolbar exists.
}

HWND CConnect::GetCurrentExplorerHWND() {
    CTraceScope trace("CConnect::GetCurrentExplorerHWND");
    if (!m_application)
        return nullptr;
    CComPtr<Outlook::_Explorer> active;
    if (FAILED(m_application->ActiveExplorer(&active)) || !active)
        return nullptr;
    CComBSTR caption;
    if (FAILED(active->get_Caption(&caption)) || caption.Length() == 0)
        return nullptr;
    return FindWindowW(L"rctrl_renwnd32", caption);
}

// The members that Outlook's events, the hidden window and the other parts
// of the add-in know the add-in object by, routed to the subsystems that do
// the work. Each is one call: the work, its trace and its log lines are the
// subsystem's.
#include "addin/server/connect.h"

#include "addin/crash/entry_guard.h"

void CConnect::FindSPAMfolder(CComPtr<Outlook::MAPIFolder>& folder) {
    m_spamFolder.Find(folder);
}

bool CConnect::IsBrevintFolderExist(bool create) {
    return m_spamFolder.MakeSure(create);
}

void CConnect::ProcessNewMail(MailItemRef item) {
    m_classifier.ProcessNewMail(std::move(item));
}

ULONG CConnect::OnNewMail2(ULONG count, LPNOTIFICATION notifications, size_t storeIndex) {
    return m_newMail.OnStoreNotifications(
        count, notifications, storeIndex, m_isLoggedIn != 0,
        [this](std::wstring itemId) { OnNewMail(std::move(itemId)); });
}

void CConnect::OnNewMail(std::wstring itemId) {
    m_newMail.OpenNewMail(std::move(itemId),
                          [this](MailItemRef item) { ProcessNewMail(std::move(item)); });
}

void __stdcall CConnect::OnRedemptionNewMail(IDispatch* item) {
    GuardedEntry([&] { OnRedemptionNewMailImpl(item); });
}

void CConnect::OnRedemptionNewMailImpl(IDispatch* item) {
    m_newMail.OnLibraryNewMail(item, m_redemption,
                               [this](std::wstring itemId) { OnNewMail(std::move(itemId)); });
}

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
    m_explorerTracker.OnNewExplorer(explorer);
}

void CConnect::OnCloseExplorerImpl() {
    m_explorerTracker.OnFirstExplorerClose();
}

void CConnect::RemoveExplorerWrapper(DWORD serial) {
    m_explorerTracker.RemoveExplorerWrapper(serial);
}

void CConnect::AddToolbar(Outlook::_Explorer* explorer) {
    m_explorerTracker.AddToolbar(explorer);
}

HWND CConnect::GetCurrentExplorerHWND() {
    return GetActiveExplorerWindow(m_application);
}

void CConnect::CreateProgressDlg(DWORD actionType, DWORD total, bool show) {
    m_progress.CreateForAction({actionType, total, m_hWnd, &m_helper}, m_application, show);
}

// What explorer tracking asks of the add-in object.

bool CConnect::IsStarted() const {
    return m_isInitialized != 0;
}

bool CConnect::WatchFirstExplorer(Outlook::_Explorer* explorer) {
    if (FAILED(FirstExplorerCloseSink().DispEventAdvise(explorer)))
        return false;
    m_isFirstExplorerWatched = 1;
    return true;
}

void CConnect::UnwatchFirstExplorer(Outlook::_Explorer* explorer) {
    if (m_isFirstExplorerWatched)
        FirstExplorerCloseSink().DispEventUnadvise(explorer);
}

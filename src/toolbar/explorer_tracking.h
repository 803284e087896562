// The explorers of the add-in: those opened after connection get a wrapper
// that builds their bar, the first one is watched by the add-in object's own
// Close sink, and the active one owns the add-in's message boxes. Runs on
// Outlook's user-interface thread only.
#pragma once

#include <atlbase.h>
#include <outlook.h>

#include <memory>
#include <vector>

#include "toolbar/explorer_wrapper.h"
#include "toolbar/toolbar_record.h"

// What explorer tracking asks of the add-in object that owns it.
class CExplorerTrackerOwner {
  public:
    // Whether start-up has run (it passed the installation check).
    virtual bool IsStarted() const = 0;
    // Runs the start-up that waited for an explorer, with that explorer.
    virtual void StartDeferred(Outlook::_Explorer* explorer) = 0;
    // Connects the owner's Close sink to the first explorer; false when it
    // could not.
    virtual bool WatchFirstExplorer(Outlook::_Explorer* explorer) = 0;
    // Disconnects that sink again, when it was connected.
    virtual void UnwatchFirstExplorer(Outlook::_Explorer* explorer) = 0;
    // Builds a new explorer's bar into its record (just appended to the
    // list), and places, enables and fills it.
    virtual void SetUpToolbar(CToolbarRecord& record) = 0;
    // Stores where the first explorer's bar stands.
    virtual void SaveFirstToolbarPosition() = 0;

  protected:
    ~CExplorerTrackerOwner() = default;
};

class CExplorerTracker {
  public:
    explicit CExplorerTracker(CExplorerTrackerOwner& owner);
    CExplorerTracker(const CExplorerTracker&) = delete;
    CExplorerTracker& operator=(const CExplorerTracker&) = delete;

    // Entry 0 of the explorer list at start-up: the explorer given or, for
    // none, Outlook's active one, which then counts and, as the only one,
    // is watched for its closing.
    void TakeFirstExplorer(Outlook::_Explorer* explorer, Outlook::_Application* application);
    // An explorer opened after connection: a wrapper watches it.
    void OnNewExplorer(Outlook::_Explorer* explorer);
    // A wrapper's explorer closed.
    void RemoveExplorerWrapper(DWORD serial);
    // The first explorer closed.
    void OnFirstExplorerClose();
    // An explorer is seen for the first time: its bar is built, or the
    // start-up that waited for it runs.
    void AddToolbar(Outlook::_Explorer* explorer);

    // One record per explorer whose bar was built; entry 0 is the first's.
    const std::vector<CToolbarRecord>& Records() const { return m_records; }
    std::vector<CToolbarRecord>& Records() { return m_records; }
    // Toolbars built minus explorers closed.
    LONG ExplorerCount() const { return m_explorerCount; }

  private:
    void ChangeExplorerCount(const char* function, LONG change);

    CExplorerTrackerOwner& m_owner;
    std::vector<CToolbarRecord> m_records;
    // Wrappers stay, disconnected, once their explorer closed.
    std::vector<std::unique_ptr<CExplorerWrapper>> m_wrappers;
    LONG m_explorerCount = 0;
};

// The frame window of Outlook's active explorer: the owner of every message
// box; null when there is none or its caption is empty.
HWND GetActiveExplorerWindow(Outlook::_Application* application);

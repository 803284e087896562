// The watcher of one explorer opened after the add-in connected: it builds
// the explorer's toolbar the first time the explorer is activated or its
// selection changes, and tells the explorer tracking when the explorer closes.
#pragma once

#include <atlbase.h>
#include <atldispevent.h>
#include <outlook.h>

class CExplorerTracker;

class CExplorerWrapper
    : public IDispEventSimpleImpl<1, CExplorerWrapper, &__uuidof(Outlook::ExplorerEvents)>,
      public IDispEventSimpleImpl<2, CExplorerWrapper, &__uuidof(Outlook::ExplorerEvents)>,
      public IDispEventSimpleImpl<3, CExplorerWrapper, &__uuidof(Outlook::ExplorerEvents)> {
  public:
    CExplorerWrapper();
    ~CExplorerWrapper();
    CExplorerWrapper(const CExplorerWrapper&) = delete;
    CExplorerWrapper& operator=(const CExplorerWrapper&) = delete;

    BEGIN_SINK_MAP(CExplorerWrapper)
    SINK_ENTRY_INFO(1, __uuidof(Outlook::ExplorerEvents), 0xF001,
                    &CExplorerWrapper::OnActivateExplorer, &kNoArgumentsInfo)
    SINK_ENTRY_INFO(2, __uuidof(Outlook::ExplorerEvents), 0xF008,
                    &CExplorerWrapper::OnCloseExplorer, &kNoArgumentsInfo)
    SINK_ENTRY_INFO(3, __uuidof(Outlook::ExplorerEvents), 0xF007,
                    &CExplorerWrapper::OnSelectionChange, &kNoArgumentsInfo)
    END_SINK_MAP()

    void AdviseInterface(Outlook::_Explorer* explorer, CExplorerTracker* tracker);
    void UnadviseInterface();

    void __stdcall OnActivateExplorer();
    void __stdcall OnCloseExplorer();
    void __stdcall OnSelectionChange();

    DWORD Serial() const { return m_serial; }

  private:
    static _ATL_FUNC_INFO kNoArgumentsInfo;

    void BuildToolbarOnce(const char* function);

    CComPtr<Outlook::_Explorer> m_explorer;
    DWORD m_isToolbarPending = 1;
    CExplorerTracker* m_tracker = nullptr;
    DWORD m_serial;
};

// The progress window of a long action (blocking, unblocking, cleaning a
// folder, the startup recheck): a modeless dialog from template 204 with a
// bar, three counters and the Stop and Close buttons. The add-in keeps one
// and makes it again for every action; the action's worker advances it with
// posted messages from its own thread, and both buttons ask the add-in's
// hidden window, by a sent 1045, to stop the action.
#pragma once

#include <atlbase.h>
#include <atlwin.h>
#include <outlook.h>

#include <string>

#include "addin/workers/worker_messages.h"
#include "resources/resource_ids.h"

class CBrevintHelper;

// The controls of dialog 204.
enum ProgressControl : int {
    IDC_PROGRESS_BAR = 201,
    IDC_PROGRESS_STOP = 202,
    IDC_PROGRESS_CLOSE = 203,
    IDC_PROGRESS_FOLDER_LABEL = 204,
    IDC_PROGRESS_LEFT_LABEL = 205,
    IDC_PROGRESS_SPAM_LABEL = 206,
    IDC_PROGRESS_FOLDER_COUNT = 207,
    IDC_PROGRESS_LEFT_COUNT = 208,
    IDC_PROGRESS_SPAM_COUNT = 209,
};

// What one action shows: its type and size, where the stop request goes and
// where the texts come from.
struct ProgressAction {
    DWORD type = 0;         // BVActionType
    DWORD total = 0;        // the mails of the action
    HWND target = nullptr;  // the add-in's hidden window
    const CBrevintHelper* labels = nullptr;
};

class CProgressBarWnd : public CAxDialogImpl<CProgressBarWnd> {
  public:
    enum { IDD = IDD_PROGRESS };

    CProgressBarWnd() = default;
    ~CProgressBarWnd();
    CProgressBarWnd(const CProgressBarWnd&) = delete;
    CProgressBarWnd& operator=(const CProgressBarWnd&) = delete;

    BEGIN_MSG_MAP(CProgressBarWnd)
    MESSAGE_HANDLER(WM_INITDIALOG, OnInitDialog)
    MESSAGE_HANDLER(WM_SHOWWINDOW, OnShowWindow)
    MESSAGE_HANDLER(WM_BV_ITEM_DONE, OnItemDone)
    MESSAGE_HANDLER(WM_BV_DISABLE_STOP, OnDisableStop)
    COMMAND_ID_HANDLER(IDC_PROGRESS_STOP, OnStop)
    COMMAND_ID_HANDLER(IDC_PROGRESS_CLOSE, OnClose)
    MESSAGE_HANDLER(WM_CLOSE, OnCloseMessage)
    END_MSG_MAP()

    // Makes the window again for a new action, owned by the frame of
    // Outlook's active explorer (none when there is no such explorer), and
    // shows it when `show` is set; a window not shown still takes the
    // worker's messages. Null when the dialog could not be made.
    HWND CreateForAction(const ProgressAction& action, Outlook::_Application* application,
                         bool show);
    // When the action has finished: the window stays, hidden, until the next one.
    void HideIfExists();
    // At disconnection.
    void DestroyIfExists();

    // What the window holds, for the parts that look at it.
    DWORD ActionType() const { return m_actionType; }
    DWORD Total() const { return m_total; }
    LONG LeftCount() const { return m_leftCount; }
    LONG SpamCount() const { return m_spamCount; }

  private:
    LRESULT OnInitDialog(UINT, WPARAM, LPARAM, BOOL& handled);
    LRESULT OnShowWindow(UINT, WPARAM, LPARAM, BOOL& handled);
    LRESULT OnItemDone(UINT, WPARAM spamAdded, LPARAM, BOOL& handled);
    LRESULT OnDisableStop(UINT, WPARAM, LPARAM, BOOL& handled);
    LRESULT OnStop(WORD, WORD, HWND, BOOL& handled);
    LRESULT OnClose(WORD, WORD, HWND, BOOL& handled);
    LRESULT OnCloseMessage(UINT, WPARAM, LPARAM, BOOL& handled);

    void ReloadTexts();
    void ResetBarAndCounters();
    void Step(WPARAM spamAdded);
    void RequestStop();
    // Replaces `text` by the label of `key` when the language file has one.
    void ReadLabel(int key, std::wstring& text) const;
    int CaptionKey() const;

    std::wstring m_caption = L"Cleaning Folder";
    std::wstring m_folderLabel = L"Emails in Folder";
    std::wstring m_leftLabel = L"Emails left";
    std::wstring m_spamLabel = L"Spam found";
    std::wstring m_stopText = L"Stop";
    std::wstring m_closeText = L"Cancel";
    LONG m_leftCount = 0;
    LONG m_spamCount = 0;
    DWORD m_actionType = 0;
    DWORD m_total = 0;
    HWND m_target = nullptr;
    const CBrevintHelper* m_labels = nullptr;
    std::wstring m_folderCountText;
    std::wstring m_leftCountText;
    std::wstring m_spamCountText;
};

// Outlook's process as the simulator drives it: the application object that
// is handed to an add-in, and the user's actions on explorer windows. Not part
// of Outlook's object model; the add-in never sees this header.
//
// Everything here runs on the user-interface thread (a single-threaded
// apartment) that created the host; the objects live there and raise their
// events there, through the connection points of their event interfaces.
#pragma once

#include <oaidl.h>
#include <outlook.h>
#include <windows.h>

#include <mailstore/entry_id.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace outlook::host {

struct ExplorerInfo {
    int id = 0;            // the host's number for the explorer, from 1, never reused
    std::wstring caption;  // the explorer's Caption and its frame window's title
    HWND frame = nullptr;  // the frame window, class "rctrl_renwnd32"; null once closed
    bool open = false;     // false once closed
    bool active = false;   // the application's ActiveExplorer
};

class OutlookHost {
  public:
    // `version` is what Application.Version gives, e.g. L"11.0.0.8312".
    explicit OutlookHost(std::wstring version);
    ~OutlookHost();  // closes what is still open and releases the objects
    OutlookHost(const OutlookHost&) = delete;
    OutlookHost& operator=(const OutlookHost&) = delete;

    // The application object as Outlook hands it to OnConnection (one
    // reference for the caller).
    IDispatch* Application();
    // The "MAPI" namespace, as Application.GetNamespace gives it (and its
    // result) to a caller on the user-interface thread.
    HRESULT MapiNamespace(Outlook::_NameSpace** nameSpace);

    // Opens an explorer: the object joins Explorers, NewExplorer is raised
    // with it, its frame window (with an "MsoDockTop" child) is created and,
    // unless `activate` is false (a window opened behind the others), it
    // becomes the active explorer. Returns the explorer's id.
    int OpenExplorer(const std::wstring& caption, bool activate = true);
    // Raises Activate and makes it the active explorer; false when not open.
    bool ActivateExplorer(int id);
    // Raises SelectionChange; false when not open.
    bool ChangeSelection(int id);
    // Raises Close, then destroys the frame window and removes the explorer
    // from Explorers; the active explorer becomes the most recently activated
    // one still open (none when none is). False when not open.
    bool CloseExplorer(int id);

    // Raises ApplicationEvents.ItemSend with `item`; returns the Cancel flag
    // the handlers left.
    bool SendItem(IDispatch* item);

    // The next call of `member` ("Object.Member", e.g. L"Explorer.Caption",
    // or a member of any object, e.g. L"Version") raises a hardware fault
    // inside the world's code instead of answering: how the simulator shows a
    // crash inside one of the add-in's entry points. The same as arming a
    // fault of one call (platform/call_faults.h), which reaches every
    // stand-in's members and lasts beyond this host.
    void FaultOnNextCall(const std::wstring& member);

    // Every explorer opened so far, in order of opening.
    std::vector<ExplorerInfo> Explorers() const;

  private:
    struct State;
    std::unique_ptr<State> state_;
};

// What the user does in Outlook's folder picker (NameSpace.PickFolder): choose
// the folder with this entry identifier, or cancel (nothing; what the user
// does until told otherwise). The choice holds for every picker shown until
// it is set again. Process-wide, like the user; any thread.
void SetFolderPickerChoice(std::optional<mailstore::EntryId> folder);
std::optional<mailstore::EntryId> FolderPickerChoice();

}  // namespace outlook::host

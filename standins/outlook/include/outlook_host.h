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

// A control of a command bar as the user sees it.
struct ControlInfo {
    int type = 0;  // MsoControlType: 1 button, 10 pop-up menu
    std::wstring caption;
    std::wstring tooltip;
    std::wstring tag;
    bool enabled = true;
    bool visible = true;
    bool beginGroup = false;
    int width = 0;
    int priority = 0;
    int style = 0;       // MsoButtonStyle of a button
    std::wstring image;  // the face a button was given: the bitmap's file, else "bitmap WxH"
    bool temporary = false;
    std::vector<ControlInfo> controls;  // a pop-up menu's
};

// A command bar of an explorer window.
struct BarInfo {
    std::wstring name;
    int position = 1;  // MsoBarPosition
    int rowIndex = 1;
    int left = 0;
    int top = 0;
    int protection = 0;  // MsoBarProtection flags
    bool visible = true;
    bool temporary = false;
    bool builtIn = false;
    HWND window = nullptr;  // the bar's window in the frame's "MsoDockTop"
    std::vector<ControlInfo> controls;
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

    // The command bars of an open explorer, in CommandBars' order; empty when
    // it is not open.
    std::vector<BarInfo> Bars(int id) const;
    // The user clicks the button that `path` names in explorer `id`: the
    // captions from the bar down ({"Brevint toolbar", "Main menu", "Options"}).
    // Click is raised on every button of every open explorer that has the
    // button's tag (the button alone when it has none). Empty on success, else
    // why the user could not click it (not there, disabled, hidden, a menu).
    std::wstring ClickControl(int id, const std::vector<std::wstring>& path);
    // The same for the first button, in the bars' order, that has `tag`.
    std::wstring ClickTag(int id, const std::wstring& tag);
    // The user drags bar `name` of explorer `id` along the top dock: empty on
    // success, else why the bar's protection or dock refuses it.
    std::wstring MoveBar(int id, const std::wstring& name, int rowIndex, int left, int top);

  private:
    struct State;
    std::unique_ptr<State> m_state;
};

// What the user does in Outlook's folder picker (NameSpace.PickFolder): choose
// the folder with this entry identifier, or cancel (nothing; what the user
// does until told otherwise). The choice holds for every picker shown until
// it is set again. Process-wide, like the user; any thread.
void SetFolderPickerChoice(std::optional<mailstore::EntryId> folder);
std::optional<mailstore::EntryId> FolderPickerChoice();

}  // namespace outlook::host

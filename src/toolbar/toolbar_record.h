// One explorer whose toolbar the add-in built (or, for entry 0, is about to
// build): the explorer, its bar "Brevint toolbar", every control of the bar,
// and the logo window laid over the bar's left end.
#pragma once

#include <windows.h>
#include <atlbase.h>
#include <office.h>
#include <outlook.h>

struct CToolbarRecord {
    CComPtr<Outlook::_Explorer> explorer;
    CComPtr<Office::CommandBar> commandBar;

    CComPtr<Office::CommandBarButton> logoButton;
    CComPtr<Office::CommandBarButton> blockButton;
    CComPtr<Office::CommandBarButton> unblockButton;
    CComPtr<Office::CommandBarButton> advertButton;
    CComPtr<Office::CommandBarPopup> mainMenu;
    CComPtr<Office::CommandBarPopup> blacklistMenu;
    CComPtr<Office::CommandBarPopup> whitelistMenu;
    CComPtr<Office::CommandBarButton> recheckButton;
    CComPtr<Office::CommandBarButton> emptyFolderButton;
    CComPtr<Office::CommandBarButton> tellAFriendButton;
    CComPtr<Office::CommandBarButton> optionsButton;
    CComPtr<Office::CommandBarButton> whitelistDomainButton;
    CComPtr<Office::CommandBarButton> whitelistEmailButton;
    CComPtr<Office::CommandBarButton> blacklistDomainButton;
    CComPtr<Office::CommandBarButton> blacklistEmailButton;

    HWND logoWindow = nullptr;
};

// The add-in's state that decides what the bars hold and how they look.
struct ToolbarMode {
    // Beside the Exchange module: no recheck and no tell-a-friend button, and
    // the module's own logo window comes first.
    bool exchangeModule = false;
    bool accountDisabled = false;   // block and unblock stay disabled
    DWORD outlookMajorVersion = 0;  // before Outlook 2002 a logo window cannot be transparent
};

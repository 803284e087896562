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

#include "toolbar/toolbar_state.h"

#include <comdef.h>

#include "support/log/logged_stage.h"
#include "support/log/trace_scope.h"
#include "support/settings/settings.h"
#include "support/utility/com_error.h"

namespace {

using ButtonField = CComPtr<Office::CommandBarButton> CToolbarRecord::*;

// The command buttons, in the order their state is changed; the last two
// are not built beside the Exchange module, and the first two stay disabled
// while the account is.
constexpr ButtonField kCommandButtons[] = {
    &CToolbarRecord::blockButton,           &CToolbarRecord::unblockButton,
    &CToolbarRecord::blacklistEmailButton,  &CToolbarRecord::whitelistEmailButton,
    &CToolbarRecord::blacklistDomainButton, &CToolbarRecord::whitelistDomainButton,
    &CToolbarRecord::emptyFolderButton,     &CToolbarRecord::tellAFriendButton,
    &CToolbarRecord::recheckButton,
};
constexpr size_t kBlockAndUnblock = 2;
constexpr size_t kOutsideExchangeModule = 7;

template <class Visit>
void ForCommandButtons(CToolbarRecord& record, ToolbarMode mode, bool skipBlocking, Visit&& visit) {
    for (size_t i = 0; i < std::size(kCommandButtons); ++i) {
        if (skipBlocking && i < kBlockAndUnblock)
            continue;
        if (mode.exchangeModule && i >= kOutsideExchangeModule)
            continue;
        if (Office::CommandBarButton* button = record.*kCommandButtons[i])
            visit(button);
    }
}

VARIANT_BOOL Flag(bool value) {
    return value ? VARIANT_TRUE : VARIANT_FALSE;
}

// The advert button shown with the text as its caption, or hidden without one.
void PutAdvert(Office::CommandBarButton* advert, const std::wstring& text) {
    if (!advert)
        return;
    RaiseIfFailed(advert->put_Visible(Flag(!text.empty())), advert);
    if (!text.empty())
        RaiseIfFailed(advert->put_Caption(CComBSTR(text.c_str())), advert);
}

}  // namespace

void EnableToolbar(ToolbarRecords& records, bool enable, ToolbarMode mode) {
    constexpr const char* kFunction = "CConnect::EnableToolbar";
    CTraceScope trace(kFunction);
    try {
        for (CToolbarRecord& record : records) {
            ForCommandButtons(
                record, mode, mode.accountDisabled,
                [&](Office::CommandBarButton* button) { button->put_Enabled(Flag(enable)); });
        }
    } catch (const _com_error& error) {
        LogComException(kFunction, error);
    }
}

void RefreshToolbar(CToolbarRecord& record, ToolbarMode mode) {
    CTraceScope trace("CConnect::RefreshToolbar");
    ForCommandButtons(record, mode, false, [](Office::CommandBarButton* button) {
        button->put_Visible(VARIANT_FALSE);
        button->put_Visible(VARIANT_TRUE);
    });
}

void LoadToolbarPosition(CToolbarRecord& record) {
    constexpr const char* kFunction = "CConnect::LoadToolbarPosition";
    CTraceScope trace(kFunction);
    DWORD left = 0, rowIndex = 0, top = 0;
    if (!CSettings::GetToolbarLeft(left) || !CSettings::GetToolbarRowIndex(rowIndex) ||
        !CSettings::GetToolbarTop(top) || !record.commandBar)
        return;
    try {
        Office::CommandBar* bar = record.commandBar;
        RaiseIfFailed(bar->put_RowIndex(static_cast<int>(rowIndex)), bar);
        RaiseIfFailed(bar->put_Top(static_cast<int>(top)), bar);
        RaiseIfFailed(bar->put_Left(static_cast<int>(left)), bar);
    } catch (const _com_error& error) {
        LogComException(kFunction, error);
    }
}

void SaveToolbarPosition(ToolbarRecords& records) {
    constexpr const char* kFunction = "CConnect::SaveToolbarPosition";
    CTraceScope trace(kFunction);
    if (records.empty() || !records.front().commandBar)
        return;
    try {
        Office::CommandBar* bar = records.front().commandBar;
        int left = 0, top = 0, rowIndex = 0;
        RaiseIfFailed(bar->get_Left(&left), bar);
        RaiseIfFailed(bar->get_Top(&top), bar);
        RaiseIfFailed(bar->get_RowIndex(&rowIndex), bar);
        CSettings::SetToolbarLeft(static_cast<DWORD>(left));
        CSettings::SetToolbarRowIndex(static_cast<DWORD>(rowIndex));
        CSettings::SetToolbarTop(static_cast<DWORD>(top));
    } catch (const _com_error& error) {
        LogComException(kFunction, error);
    }
}

void ShowAdvert(CToolbarRecord& record, const std::wstring& text, const char* function) {
    try {
        PutAdvert(record.advertButton, text);
    } catch (const _com_error& error) {
        LogComException(function, error);
    }
}

void ShowAdvertEverywhere(ToolbarRecords& records, const std::wstring& text, HBITMAP logo) {
    for (CToolbarRecord& record : records) {
        PutAdvert(record.advertButton, text);
        if (!text.empty() && logo && record.logoWindow)
            SendMessageW(record.logoWindow, BM_SETIMAGE, IMAGE_BITMAP,
                         reinterpret_cast<LPARAM>(logo));
    }
}

void ShowTellAFriend(ToolbarRecords& records) {
    constexpr const char* kFunction = "CConnect::OnVisibleTellAFriendImpl";
    for (CToolbarRecord& record : records) {
        Office::CommandBarButton* button = record.tellAFriendButton;
        if (!button)
            continue;
        try {
            RaiseIfFailed(button->put_Visible(VARIANT_TRUE), button);
        } catch (const _com_error& error) {
            LogComException(kFunction, error);
        }
    }
}

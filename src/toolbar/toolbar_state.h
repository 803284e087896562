// Keeping the bars in step with the add-in's state: the command buttons
// enabled once the user is logged in, a new bar's buttons repainted, the
// advert and tell-a-friend buttons shown as the service's data arrive, and
// the first bar's place on the top dock remembered between runs. Runs on
// Outlook's user-interface thread.
#pragma once

#include <string>
#include <vector>

#include "toolbar/toolbar_record.h"

using ToolbarRecords = std::vector<CToolbarRecord>;

// Enables (or disables) the command buttons of every bar.
void EnableToolbar(ToolbarRecords& records, bool enable, ToolbarMode mode);
// Hides and shows the command buttons of one bar, which repaints them.
void RefreshToolbar(CToolbarRecord& record, ToolbarMode mode);
// The bar placed where the user left the first bar, when all three values
// of that place are stored.
void LoadToolbarPosition(CToolbarRecord& record);
// The first bar's place stored for the bars of later runs.
void SaveToolbarPosition(ToolbarRecords& records);
// The advert on one bar: shown with `text` as its caption, or hidden when
// there is none.
void ShowAdvert(CToolbarRecord& record, const std::wstring& text, const char* function);
// The advert on every bar, with the logo bitmap given again to each logo window.
void ShowAdvertEverywhere(ToolbarRecords& records, const std::wstring& text, HBITMAP logo);
// Every bar's tell-a-friend button shown.
void ShowTellAFriend(ToolbarRecords& records);

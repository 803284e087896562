// The building of one explorer's bar: leftover bars of earlier runs deleted,
// "Brevint toolbar" added at the top, its buttons and menus created in their
// order with captions and tags from the language file, the logo window laid
// over it, and the buttons' images pasted through the clipboard. Runs on
// Outlook's user-interface thread; every failure is logged and construction
// goes on with the next step.
#pragma once

#include <string>

#include "support/replay/mutex.h"
#include "toolbar/toolbar_record.h"

class CBrevintHelper;
class CLogoWindows;

class CToolbarBuilder {
  public:
    CToolbarBuilder(const CBrevintHelper& labels, CLogoWindows& logos);
    CToolbarBuilder(const CToolbarBuilder&) = delete;
    CToolbarBuilder& operator=(const CToolbarBuilder&) = delete;

    // Builds the bar and its controls into `record`, whose explorer is set.
    // A COM error while leftover bars are counted or deleted reaches the caller.
    void CreateBVToolbar(CToolbarRecord& record, ToolbarMode mode);

    // One button (or pop-up menu) added to `controls` with its properties
    // set in Office's order; null strings are passed as empty ones.
    static void AddToolbarButton(const wchar_t* caption, const wchar_t* tooltip, const wchar_t* tag,
                                 int width, int enabled, int visible, int beginGroup,
                                 CComPtr<Office::CommandBarButton>& control,
                                 Office::CommandBarControls* controls);
    static void AddToolbarGroupButton(const wchar_t* caption, const wchar_t* tooltip,
                                      const wchar_t* tag, int width, int enabled, int visible,
                                      int beginGroup, CComPtr<Office::CommandBarPopup>& control,
                                      Office::CommandBarControls* controls);
    // The button's face from the image file, through the clipboard; a file
    // that does not load leaves the caption only.
    static void AddImageToButton(Office::CommandBarButton* control, const std::wstring& path);

  private:
    void DeleteLeftoverBars(Office::_CommandBars* bars);
    void AddBar(CToolbarRecord& record, Office::_CommandBars* bars);
    void CreateControls(CToolbarRecord& record, ToolbarMode mode);
    void AddImages(CToolbarRecord& record);

    const CBrevintHelper& m_labels;
    CLogoWindows& m_logos;
    replay::mutex m_lock;  // the toolbar lock: one bar is built at a time
};

// The logo windows: a small flat bitmap button laid over the left end of
// every bar window, found through Outlook's frame windows and their top
// docks. A click opens the logo URL. The logo bitmap is loaded once and
// shared by every logo window; all of this lives on the user-interface thread.
#pragma once

#include <windows.h>

#include <vector>

#include "toolbar/toolbar_record.h"

class CLogoWindows {
  public:
    CLogoWindows() = default;
    ~CLogoWindows();
    CLogoWindows(const CLogoWindows&) = delete;
    CLogoWindows& operator=(const CLogoWindows&) = delete;

    void SetMode(ToolbarMode mode) { m_mode = mode; }

    // Gives every bar window of Outlook's frames that has none its logo
    // window; the record keeps the last one made. With `subclass` the new
    // windows open the logo URL when clicked.
    void AddLogoWindow(CToolbarRecord& record, bool subclass);
    // The record's logo window made again, so that it opens the logo URL.
    void RefreshLogoWindow(CToolbarRecord& record);
    // The shared bitmap let go; the next logo window loads it afresh.
    void FreeBitmap();
    HBITMAP Bitmap() const { return m_bitmap; }

  private:
    void FindMainWindows();
    void LoadBitmap();

    ToolbarMode m_mode;
    HBITMAP m_bitmap = nullptr;
    std::vector<HWND> m_mainWindows;
};

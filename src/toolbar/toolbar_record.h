// One explorer whose toolbar the add-in built (or, for entry 0, is about to
// build): the explorer, and the bar with its controls once the toolbar exists.
#pragma once

#include <atlbase.h>
#include <outlook.h>

struct CToolbarRecord {
    CComPtr<Outlook::_Explorer> explorer;
};

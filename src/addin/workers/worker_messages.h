// The window messages between the workers, the progress window and the
// add-in's hidden window, and the types of the long actions. Threads never
// call the add-in object: they post these (1045 alone is also sent).
#pragma once

#include <windows.h>

// To the add-in's hidden window.
constexpr UINT WM_BV_LOGO_URL_LOADED = WM_USER + 10;  // 1034: wParam a new wide string
constexpr UINT WM_BV_ACTION_FINISHED = WM_USER + 11;  // 1035: hide the progress window
constexpr UINT WM_BV_ACTION_BREAK = WM_USER + 12;     // 1036: clear the busy flag
constexpr UINT WM_BV_TELL_A_FRIEND = WM_USER + 13;    // 1037: the link is available
constexpr UINT WM_BV_NEW_MAIL = WM_USER + 14;         // 1038: a copied MAPI notification
constexpr UINT WM_BV_MAPI_NOTIFY = WM_USER + 15;      // 1039: re-posted as 1038
constexpr UINT WM_BV_RESCAN = WM_USER + 17;           // 1041: start the recheck timer
// To the hidden window with an action type (the user stopped it), and from
// there to that action's worker window.
constexpr UINT WM_BV_STOP_ACTION = WM_USER + 21;  // 1045

// To the progress window.
constexpr UINT WM_BV_ITEM_DONE = WM_USER + 20;     // 1044: wParam added to the spam count
constexpr UINT WM_BV_DISABLE_STOP = WM_USER + 24;  // 1048

// The long actions: the wParam of a stop request, and the type the progress
// window is created with.
enum BVActionType : WPARAM {
    BV_ACTION_BLOCK = 1,
    BV_ACTION_UNBLOCK = 2,
    BV_ACTION_CLEAN = 3,
    BV_ACTION_RECHECK = 4,
};

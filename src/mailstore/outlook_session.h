// The MAPI session Outlook is logged on with, found through its object model,
// so that the add-in's MAPI work shares the user's profile instead of logging
// on a second time.
#pragma once

#include <windows.h>

#include <atlbase.h>
#include <mapix.h>
#include <outlook.h>

// Outlook's session, or null when it cannot be had: after Outlook 2000 the
// name space hands it out as its MAPIOBJECT; Outlook 2000 keeps it behind a
// function of its library. Each failure is logged under `logFunction`.
CComPtr<IMAPISession> FindOutlookSession(Outlook::_Application* application,
                                         int outlookMajorVersion, const char* logFunction);

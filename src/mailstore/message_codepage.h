// A message's internet code page, read and written through Extended MAPI on
// the message object that Outlook's item hands out as its MAPIOBJECT.
#pragma once

#include <oaidl.h>

bool GetMessageCodePage(IDispatch* item, LONG& codePage);
// Writes the code page and saves the message; true when the write succeeded.
bool SetMessageCodepage(IDispatch* item, LONG codePage);

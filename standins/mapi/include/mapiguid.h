// The interface identifiers of Extended MAPI, as names beside __uuidof.
#pragma once

#include "mapidefs.h"
#include "mapix.h"

inline constexpr IID IID_IMAPISession = __uuidof(IMAPISession);
inline constexpr IID IID_IMAPITable = __uuidof(IMAPITable);
inline constexpr IID IID_IMAPIAdviseSink = __uuidof(IMAPIAdviseSink);
inline constexpr IID IID_IMAPIProp = __uuidof(IMAPIProp);
inline constexpr IID IID_IMsgStore = __uuidof(IMsgStore);
inline constexpr IID IID_IMessage = __uuidof(IMessage);
inline constexpr IID IID_IMAPIContainer = __uuidof(IMAPIContainer);
inline constexpr IID IID_IMAPIFolder = __uuidof(IMAPIFolder);

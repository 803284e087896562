// The Windows API as the add-in and the stand-ins include it.
#pragma once

#include "windef.h"
#include "winerror.h"
#include "errhandlingapi.h"
#include "handleapi.h"
#include "winbase.h"
#include "winreg.h"
#include "winnls.h"
#include "winuser.h"
#include "wingdi.h"
#include "winver.h"

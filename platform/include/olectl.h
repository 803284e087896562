// OLE controls: the connection-point results (CONNECT_E_*), which this
// platform keeps with the other result codes in winerror.h.
#pragma once

#include "winerror.h"

// GUID and its names (IID, CLSID), as the SDK declares them.
#pragma once

#include "windef.h"

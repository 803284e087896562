// The module object of BVOL0000.dll: the lock count, the instance handle and
// the object map, whose one entry is the add-in class Connect.
#pragma once

#include <atlbase.h>
#include <atlcom.h>

#include "addin/server/bvol_interfaces.h"
#include "resources/resource_ids.h"

class CBVOLModule : public ATL::CAtlDllModuleT<CBVOLModule> {
  public:
    DECLARE_LIBID(LIBID_BVOLLib)
    DECLARE_REGISTRY_APPID_RESOURCEID(IDR_BVOL, "{A170B338-3926-4059-B28C-105D1FB17C23}")
};

extern CBVOLModule _AtlModule;

// COM and OLE Automation together.
#pragma once

#include "objbase.h"
#include "oleauto.h"
#include "ocidl.h"

// Puts an object into the running state: the object's IRunnableObject::Run
// when it has one; an object without it is running already (S_OK).
WINOLEAPI OleRun(LPUNKNOWN pUnknown);

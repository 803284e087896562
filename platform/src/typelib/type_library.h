// ITypeLib and ITypeInfo over a library read from its text. The type infos
// live as long as their library: they count their references on it.
#pragma once

#include <oaidl.h>

#include "typelib/library_text.h"

namespace platform::typelib {

// A new library object with one reference.
ITypeLib* CreateTypeLibrary(LibraryDescription description);

}  // namespace platform::typelib

// The Extended MAPI interface identifiers the add-in names, defined here once:
// MAPI's headers only declare them, and a client defines the ones it uses in
// one source file, with INITGUID and a USES_IID_ name for each.
#define INITGUID
#define USES_IID_IMAPIProp
#define USES_IID_IMAPISession
#define USES_IID_IMessage

#include <objbase.h>

#include <mapiguid.h>

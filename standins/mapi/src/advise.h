// Store notifications as MAPI delivers them: a NOTIFICATION built from the
// model's, handed to the advised sink on the thread that made the change.
#pragma once

#include "objects.h"

namespace mapiview {

// The model's callback for one advised sink; it holds a reference to the sink
// for as long as the subscription lives.
mailstore::NotificationCallback NotifierFor(LPMAPIADVISESINK sink);

}  // namespace mapiview

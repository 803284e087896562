// Files, modules, time, threads and synchronisation.
#pragma once

#include "windef.h"
#include "fileapi.h"
#include "libloaderapi.h"
#include "sysinfoapi.h"
#include "synchapi.h"
#include "processthreadsapi.h"
#include "interlockedapi.h"
#include "timezoneapi.h"

#pragma once

#include "windef.h"
#include "rpcdce.h"

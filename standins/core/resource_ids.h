// Identifiers of the filter core module's resources.
#pragma once

#define IDR_HTTP 101  // the registry script of Brevint.HTTP

// Identifiers of the filter core module's resources: the registry script of
// each class.
#pragma once

#define IDR_HTTP 101
#define IDR_LIBRARY 102
#define IDR_XML 103
#define IDR_RULESSENDERDENIED 104
#define IDR_RULESSENDERALLOWED 105
#define IDR_ACCOUNT 106
#define IDR_FILTER 107
#define IDR_DIGEST 108

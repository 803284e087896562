// The source argument of VariantCopy and VariantChangeType: the platform and
// the current Windows SDK declare it const, mingw-w64's oleauto.h does not.
// Neither function changes its source, so a const variant is passed through
// this in both builds.
#pragma once

#include <oleauto.h>

inline VARIANTARG* BvVariantSource(const VARIANTARG* source) {
    return const_cast<VARIANTARG*>(source);
}

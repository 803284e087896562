#include "fs/case_fold.h"

namespace platform::fs {
namespace {

bool InRange(wchar_t c, wchar_t first, wchar_t last) {
    return c >= first && c <= last;
}

// Latin Extended-A pairs its letters as upper, lower; the two runs that start
// on an odd value put the lower case on the even one.
wchar_t UpperLatinExtendedA(wchar_t c) {
    if (InRange(c, 0x100, 0x12F) || InRange(c, 0x132, 0x137) || InRange(c, 0x14A, 0x177))
        return c & ~wchar_t{1};
    if ((InRange(c, 0x139, 0x148) || InRange(c, 0x179, 0x17E)) && c % 2 == 0)
        return c - 1;
    return c;
}

}  // namespace

wchar_t UpperCaseForNames(wchar_t c) {
    if (InRange(c, L'a', L'z'))
        return c - 0x20;
    if (c < 0xE0)
        return c;
    if (InRange(c, 0xE0, 0xFE) && c != 0xF7)
        return c - 0x20;
    if (c == 0xFF)
        return 0x178;
    if (InRange(c, 0x100, 0x17F))
        return UpperLatinExtendedA(c);
    if (InRange(c, 0x3B1, 0x3CB) && c != 0x3C2)
        return c - 0x20;
    if (InRange(c, 0x430, 0x44F))
        return c - 0x20;
    if (InRange(c, 0x450, 0x45F))
        return c - 0x50;
    return c;
}

bool NamesEqualIgnoringCase(std::wstring_view a, std::wstring_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (UpperCaseForNames(a[i]) != UpperCaseForNames(b[i]))
            return false;
    }
    return true;
}

}  // namespace platform::fs

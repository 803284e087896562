// A failed call raised as a COM error, as the code generated from a type
// library raises it: with the error information the called object gave, when
// it says it gives any (ISupportErrorInfo), so the log can say why.
#pragma once

#include <comdef.h>

template <class Interface>
void RaiseIfFailed(HRESULT result, Interface* object) {
    if (FAILED(result))
        _com_issue_errorex(result, object, __uuidof(Interface));
}

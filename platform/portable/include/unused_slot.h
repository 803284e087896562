// A position in an interface's method table that no client here calls, for
// interfaces that their clients reach by position: the entry keeps the
// positions after it in place and answers E_NOTIMPL. Its body is declared with
// the interface, so that the objects implementing it need not repeat it.
//
//     struct IFoo : public IDispatch {
//         BV_UNUSED_SLOT(7)
//         virtual HRESULT STDMETHODCALLTYPE get_Name(BSTR* name) = 0;
//     };
#pragma once

#include <windows.h>

#define BV_UNUSED_SLOT(n)                           \
    virtual HRESULT STDMETHODCALLTYPE Unused##n() { \
        return E_NOTIMPL;                           \
    }

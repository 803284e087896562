// Declaring and implementing COM interfaces: the method macros of Windows.
#pragma once

#include "windef.h"

#define STDMETHOD(method) virtual HRESULT STDMETHODCALLTYPE method
#define STDMETHOD_(type, method) virtual type STDMETHODCALLTYPE method
#define PURE = 0
#define THIS_
#define THIS void
#define STDMETHODIMP HRESULT STDMETHODCALLTYPE
#define STDMETHODIMP_(type) type STDMETHODCALLTYPE
#define STDAPI extern "C" HRESULT STDAPICALLTYPE
#define STDAPI_(type) extern "C" type STDAPICALLTYPE
#define WINOLEAPI WINBASEAPI HRESULT STDAPICALLTYPE
#define WINOLEAPI_(type) WINBASEAPI type STDAPICALLTYPE
#define DECLSPEC_NOVTABLE

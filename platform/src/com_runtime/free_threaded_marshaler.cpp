// The free-threaded marshaler: an inner object that an object aggregates to say
// that it accepts calls from any thread. Marshalled within the process, such
// an object is handed over as it is.
#include <objbase.h>
#include <platform/ref_counted.h>

#include <cstdint>

namespace {

class FreeThreadedMarshaler final : public platform::com::RefCounted<IUnknown> {
  public:
    explicit FreeThreadedMarshaler(IUnknown* outer)
        : m_outer(outer ? outer : this), m_marshal(*this) {}

    // The inner, non-delegating IUnknown.
    STDMETHODIMP QueryInterface(REFIID iid, void** object) override {
        if (!object)
            return E_POINTER;
        if (iid == IID_IUnknown) {
            *object = static_cast<IUnknown*>(this);
        } else if (iid == IID_IMarshal) {
            *object = static_cast<IMarshal*>(&m_marshal);
        } else {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        static_cast<IUnknown*>(*object)->AddRef();
        return S_OK;
    }

  private:
    // IMarshal, whose IUnknown is the outer object's.
    class Marshal final : public IMarshal {
      public:
        explicit Marshal(FreeThreadedMarshaler& inner) : m_inner(inner) {}
        STDMETHODIMP QueryInterface(REFIID iid, void** object) override {
            return m_inner.m_outer->QueryInterface(iid, object);
        }
        STDMETHODIMP_(ULONG) AddRef() override { return m_inner.m_outer->AddRef(); }
        STDMETHODIMP_(ULONG) Release() override { return m_inner.m_outer->Release(); }

        STDMETHODIMP GetUnmarshalClass(REFIID, void*, DWORD context, void*, DWORD,
                                       CLSID* unmarshaler) override {
            if (!unmarshaler)
                return E_POINTER;
            // Other processes would need a standard marshalling, which this world has not.
            if (context != MSHCTX_INPROC && context != MSHCTX_CROSSCTX)
                return E_NOTIMPL;
            *unmarshaler = CLSID_InProcFreeMarshaler;
            return S_OK;
        }
        STDMETHODIMP GetMarshalSizeMax(REFIID, void*, DWORD, void*, DWORD, DWORD* size) override {
            if (!size)
                return E_POINTER;
            *size = sizeof(uint64_t);
            return S_OK;
        }
        // Within the process the interface pointer itself is what is marshalled.
        STDMETHODIMP MarshalInterface(IStream* stream, REFIID iid, void* pv, DWORD, void*,
                                      DWORD) override {
            if (!stream || !pv)
                return E_INVALIDARG;
            IUnknown* object = nullptr;
            const HRESULT asked =
                static_cast<IUnknown*>(pv)->QueryInterface(iid, reinterpret_cast<void**>(&object));
            if (FAILED(asked))
                return asked;
            const auto address = reinterpret_cast<uint64_t>(object);
            const HRESULT written = stream->Write(&address, sizeof address, nullptr);
            if (FAILED(written))
                object->Release();
            return written;
        }
        STDMETHODIMP UnmarshalInterface(IStream* stream, REFIID iid, void** object) override {
            if (!stream || !object)
                return E_INVALIDARG;
            *object = nullptr;
            uint64_t address = 0;
            ULONG read = 0;
            if (FAILED(stream->Read(&address, sizeof address, &read)) || read != sizeof address)
                return STG_E_READFAULT;
            auto* marshalled = reinterpret_cast<IUnknown*>(address);
            const HRESULT result = marshalled->QueryInterface(iid, object);
            marshalled->Release();
            return result;
        }
        STDMETHODIMP ReleaseMarshalData(IStream* stream) override {
            uint64_t address = 0;
            ULONG read = 0;
            if (!stream || FAILED(stream->Read(&address, sizeof address, &read)) ||
                read != sizeof address)
                return STG_E_READFAULT;
            reinterpret_cast<IUnknown*>(address)->Release();
            return S_OK;
        }
        STDMETHODIMP DisconnectObject(DWORD) override { return S_OK; }

      private:
        FreeThreadedMarshaler& m_inner;
    };

    IUnknown* const m_outer;
    Marshal m_marshal;
};

}  // namespace

extern "C" HRESULT STDAPICALLTYPE CoCreateFreeThreadedMarshaler(LPUNKNOWN punkOuter,
                                                                LPUNKNOWN* ppunkMarshal) {
    if (!ppunkMarshal)
        return E_INVALIDARG;
    *ppunkMarshal = new FreeThreadedMarshaler(punkOuter);
    return S_OK;
}

// The reference count of a COM object built by hand, below the ATL classes
// (the platform's own objects, which ATL is built on, and the stand-ins' plain
// interface objects): AddRef and Release for every interface it derives from,
// and the object deleted when its last reference goes.
//
//     class Stream final : public platform::com::RefCounted<IStream> { ... };
//
// The count starts at one: whoever creates the object holds that first
// reference, hands it out or releases it. QueryInterface stays with the object,
// which alone knows what it answers.
#pragma once

#include <atomic>

#include <unknwn.h>

namespace platform::com {

template <class... Interfaces>
class RefCounted : public Interfaces... {
  public:
    STDMETHODIMP_(ULONG) AddRef() override { return ++m_references; }
    STDMETHODIMP_(ULONG) Release() override {
        const ULONG left = --m_references;
        if (left == 0)
            delete this;
        return left;
    }

  protected:
    RefCounted() = default;
    virtual ~RefCounted() = default;

  private:
    std::atomic<ULONG> m_references{1};
};

}  // namespace platform::com

// A stream over a global memory block. Clones share the block and keep their
// own seek positions; the block grows as the stream is written past its end,
// and is freed with the last stream when the creator asked for that.
#include "memory/global_memory.h"

#include <objbase.h>
#include <winbase.h>
#include <platform/ref_counted.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>

namespace platform::com {
namespace {

// Asked of a stream to tell one of these from any other IStream.
// {5B0E6C5D-2F4B-4C1E-9D3A-7E8F10A2B4C6}
constexpr IID kHGlobalStreamIid = {
    0x5B0E6C5D, 0x2F4B, 0x4C1E, {0x9D, 0x3A, 0x7E, 0x8F, 0x10, 0xA2, 0xB4, 0xC6}};

// Streams over a global block are kept within 32 bits, as Windows keeps them.
constexpr ULONGLONG kMaxSize = 0xFFFFFFFFull;

struct SharedBlock {
    std::mutex lock;
    HGLOBAL handle = nullptr;
    ULONGLONG size = 0;  // the stream's size; the block may be larger
    bool deleteOnRelease = false;

    ~SharedBlock() {
        if (deleteOnRelease)
            GlobalFree(handle);
    }

    // Makes the block hold at least `bytes`. Called with the lock held.
    bool Reserve(ULONGLONG bytes) {
        if (bytes > kMaxSize)
            return false;
        if (bytes <= GlobalSize(handle))
            return true;
        HGLOBAL grown = GlobalReAlloc(handle, static_cast<SIZE_T>(bytes), GMEM_MOVEABLE);
        if (!grown)
            return false;
        handle = grown;
        return true;
    }
};

// Locks a block for the length of one access.
class Locked {
  public:
    explicit Locked(HGLOBAL handle)
        : m_handle(handle), m_data(static_cast<BYTE*>(GlobalLock(handle))) {}
    ~Locked() {
        if (m_data)
            GlobalUnlock(m_handle);
    }
    Locked(const Locked&) = delete;
    Locked& operator=(const Locked&) = delete;
    BYTE* data() const { return m_data; }

  private:
    HGLOBAL m_handle;
    BYTE* m_data;
};

class HGlobalStream final : public RefCounted<IStream> {
  public:
    HGlobalStream(std::shared_ptr<SharedBlock> block, ULONGLONG position)
        : m_block(std::move(block)), m_position(position) {}

    HGLOBAL handle() {
        std::lock_guard lock(m_block->lock);
        return m_block->handle;
    }

    STDMETHODIMP QueryInterface(REFIID iid, void** object) override {
        if (!object)
            return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_ISequentialStream || iid == IID_IStream ||
            iid == kHGlobalStreamIid) {
            *object = static_cast<IStream*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }

    STDMETHODIMP Read(void* pv, ULONG cb, ULONG* pcbRead) override {
        if (!pv)
            return STG_E_INVALIDPOINTER;
        std::lock_guard lock(m_block->lock);
        ULONG read = 0;
        if (m_position < m_block->size && cb > 0) {
            read = static_cast<ULONG>(std::min<ULONGLONG>(cb, m_block->size - m_position));
            Locked data(m_block->handle);
            std::memcpy(pv, data.data() + m_position, read);
            m_position += read;
        }
        if (pcbRead)
            *pcbRead = read;
        return S_OK;
    }

    STDMETHODIMP Write(const void* pv, ULONG cb, ULONG* pcbWritten) override {
        if (pcbWritten)
            *pcbWritten = 0;
        if (!pv)
            return STG_E_INVALIDPOINTER;
        if (cb == 0)
            return S_OK;
        std::lock_guard lock(m_block->lock);
        const ULONGLONG end = m_position + cb;
        if (end > m_block->size) {
            if (!m_block->Reserve(end))
                return STG_E_MEDIUMFULL;
            // A gap left by seeking past the end reads as zeros.
            if (m_position > m_block->size) {
                Locked data(m_block->handle);
                std::memset(data.data() + m_block->size, 0, m_position - m_block->size);
            }
            m_block->size = end;
        }
        Locked data(m_block->handle);
        std::memcpy(data.data() + m_position, pv, cb);
        m_position = end;
        if (pcbWritten)
            *pcbWritten = cb;
        return S_OK;
    }

    STDMETHODIMP Seek(LARGE_INTEGER dlibMove, DWORD dwOrigin,
                      ULARGE_INTEGER* plibNewPosition) override {
        std::lock_guard lock(m_block->lock);
        const HRESULT hr = MoveTo(dlibMove, dwOrigin);
        // A refused seek still reports where the stream stands.
        if (plibNewPosition)
            plibNewPosition->QuadPart = m_position;
        return hr;
    }

    STDMETHODIMP SetSize(ULARGE_INTEGER libNewSize) override {
        std::lock_guard lock(m_block->lock);
        const ULONGLONG size = libNewSize.QuadPart;
        if (size > m_block->size) {
            if (!m_block->Reserve(size))
                return size > kMaxSize ? STG_E_MEDIUMFULL : E_OUTOFMEMORY;
            Locked data(m_block->handle);
            std::memset(data.data() + m_block->size, 0, size - m_block->size);
        }
        m_block->size = size;
        return S_OK;
    }

    STDMETHODIMP CopyTo(IStream* pstm, ULARGE_INTEGER cb, ULARGE_INTEGER* pcbRead,
                        ULARGE_INTEGER* pcbWritten) override {
        if (!pstm)
            return STG_E_INVALIDPOINTER;
        ULONGLONG read = 0;
        ULONGLONG written = 0;
        HRESULT result = S_OK;
        BYTE chunk[4096];
        while (read < cb.QuadPart) {
            ULONG got = 0;
            Read(chunk, static_cast<ULONG>(std::min<ULONGLONG>(sizeof chunk, cb.QuadPart - read)),
                 &got);
            if (got == 0)
                break;
            read += got;
            ULONG put = 0;
            result = pstm->Write(chunk, got, &put);
            written += put;
            if (FAILED(result))
                break;
        }
        if (pcbRead)
            pcbRead->QuadPart = read;
        if (pcbWritten)
            pcbWritten->QuadPart = written;
        return result;
    }

    // Memory has nothing to commit or revert, and no regions to lock.
    STDMETHODIMP Commit(DWORD) override { return S_OK; }
    STDMETHODIMP Revert() override { return S_OK; }
    STDMETHODIMP LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override {
        return STG_E_INVALIDFUNCTION;
    }
    STDMETHODIMP UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override {
        return STG_E_INVALIDFUNCTION;
    }

    STDMETHODIMP Stat(STATSTG* pstatstg, DWORD grfStatFlag) override {
        if (!pstatstg)
            return STG_E_INVALIDPOINTER;
        if (grfStatFlag & ~DWORD{STATFLAG_NONAME | STATFLAG_NOOPEN})
            return STG_E_INVALIDFLAG;
        std::lock_guard lock(m_block->lock);
        *pstatstg = STATSTG{};
        pstatstg->type = STGTY_STREAM;  // a memory stream has no name
        pstatstg->cbSize.QuadPart = m_block->size;
        pstatstg->grfMode = STGM_READWRITE;
        return S_OK;
    }

    STDMETHODIMP Clone(IStream** ppstm) override {
        if (!ppstm)
            return STG_E_INVALIDPOINTER;
        std::lock_guard lock(m_block->lock);
        *ppstm = new HGlobalStream(m_block, m_position);
        return S_OK;
    }

  private:
    // An unknown origin, or a target before the start, is a seek error.
    HRESULT MoveTo(LARGE_INTEGER move, DWORD origin) {
        LONGLONG base = 0;
        switch (origin) {
            case STREAM_SEEK_SET:
                break;
            case STREAM_SEEK_CUR:
                base = static_cast<LONGLONG>(m_position);
                break;
            case STREAM_SEEK_END:
                base = static_cast<LONGLONG>(m_block->size);
                break;
            default:
                return STG_E_SEEKERROR;
        }
        const LONGLONG target = base + move.QuadPart;
        if (target < 0 || static_cast<ULONGLONG>(target) > kMaxSize)
            return STG_E_SEEKERROR;
        m_position = static_cast<ULONGLONG>(target);
        return S_OK;
    }

    std::shared_ptr<SharedBlock> m_block;
    ULONGLONG m_position;  // guarded by the block's lock, as clones share nothing else
};

}  // namespace
}  // namespace platform::com

using namespace platform::com;

extern "C" HRESULT STDAPICALLTYPE CreateStreamOnHGlobal(HGLOBAL hGlobal, BOOL fDeleteOnRelease,
                                                        LPSTREAM* ppstm) {
    if (!ppstm)
        return E_INVALIDARG;
    *ppstm = nullptr;
    auto block = std::make_shared<SharedBlock>();
    if (hGlobal) {
        const auto size = platform::memory::BlockSize(hGlobal);
        if (!size)
            return E_INVALIDARG;
        block->handle = hGlobal;
        block->size = *size;
    } else {
        block->handle = GlobalAlloc(GMEM_MOVEABLE | GMEM_NODISCARD, 0);
        if (!block->handle)
            return E_OUTOFMEMORY;
    }
    block->deleteOnRelease = fDeleteOnRelease != FALSE;
    *ppstm = new HGlobalStream(std::move(block), 0);
    return S_OK;
}

extern "C" HRESULT STDAPICALLTYPE GetHGlobalFromStream(LPSTREAM pstm, HGLOBAL* phglobal) {
    if (!phglobal)
        return E_INVALIDARG;
    *phglobal = nullptr;
    IStream* own = nullptr;
    if (!pstm || FAILED(pstm->QueryInterface(kHGlobalStreamIid, reinterpret_cast<void**>(&own))))
        return E_INVALIDARG;
    *phglobal = static_cast<HGlobalStream*>(own)->handle();
    own->Release();
    return S_OK;
}

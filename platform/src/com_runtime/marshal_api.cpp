// Handing interfaces between apartments. A marshalled interface is a small
// record in the stream naming an entry of the process's table of marshalled
// objects; unmarshalling gives the object itself in its own apartment or when
// it is free-threaded, and a proxy anywhere else.
#include "com_runtime/apartment.h"
#include "com_runtime/proxy_link.h"

#include <objbase.h>

#include <cstdint>
#include <mutex>
#include <optional>
#include <unordered_map>

namespace platform::com {
namespace {

constexpr uint32_t kSignature = 0x574F454D;  // "MEOW", as Windows' object references begin

struct Record {
    uint32_t signature = kSignature;
    uint32_t flags = 0;  // MSHLFLAGS
    IID iid{};
    uint64_t token = 0;
};

struct Entry {
    IUnknown* object = nullptr;  // the marshalled interface, one reference held
    IID iid{};
    std::shared_ptr<Apartment> owner;
    bool freeThreaded = false;
    DWORD flags = MSHLFLAGS_NORMAL;
};

std::mutex tableLock;
uint64_t nextToken = 1;
std::unordered_map<uint64_t, Entry>& Table() {
    static auto* table = new std::unordered_map<uint64_t, Entry>;
    return *table;
}

HRESULT ReadRecord(IStream* stream, Record& record) {
    ULONG read = 0;
    const HRESULT result = stream->Read(&record, sizeof record, &read);
    if (FAILED(result))
        return result;
    if (read != sizeof record || record.signature != kSignature)
        return RPC_E_INVALID_OBJREF;
    return S_OK;
}

// Takes the entry a record names: a normal marshalling is used up by its
// unmarshalling, a table marshalling stays and gives another reference.
std::optional<Entry> TakeEntry(const Record& record) {
    std::lock_guard lock(tableLock);
    auto found = Table().find(record.token);
    if (found == Table().end())
        return std::nullopt;
    Entry entry = found->second;
    if (entry.flags == MSHLFLAGS_NORMAL)
        Table().erase(found);
    else
        entry.object->AddRef();
    return entry;
}

void ReleaseOnOwner(const Entry& entry) {
    IUnknown* object = entry.object;
    entry.owner->Post([object] { object->Release(); });
}

}  // namespace
}  // namespace platform::com

using namespace platform::com;

extern "C" HRESULT STDAPICALLTYPE CoMarshalInterface(LPSTREAM pStm, REFIID riid, LPUNKNOWN pUnk,
                                                     DWORD, LPVOID, DWORD mshlflags) {
    if (!pStm || !pUnk)
        return E_INVALIDARG;
    // Weak table marshalling and the other flags are not offered.
    if (mshlflags != MSHLFLAGS_NORMAL && mshlflags != MSHLFLAGS_TABLESTRONG)
        return E_INVALIDARG;
    auto owner = CurrentApartmentObject();
    if (!owner)
        return CO_E_NOTINITIALIZED;
    IUnknown* object = nullptr;
    const HRESULT asked = pUnk->QueryInterface(riid, reinterpret_cast<void**>(&object));
    if (FAILED(asked))
        return asked;
    const bool freeThreaded = IsFreeThreaded(object);
    // Without a proxy for the interface the object could not be reached from
    // another apartment.
    if (!freeThreaded && !HasProxyFactory(riid)) {
        object->Release();
        return E_NOINTERFACE;
    }
    Record record;
    record.flags = mshlflags;
    record.iid = riid;
    {
        std::lock_guard lock(tableLock);
        record.token = nextToken++;
        Table().emplace(record.token,
                        Entry{object, riid, std::move(owner), freeThreaded, mshlflags});
    }
    const HRESULT written = pStm->Write(&record, sizeof record, nullptr);
    if (FAILED(written)) {
        std::lock_guard lock(tableLock);
        Table().erase(record.token);
        object->Release();
    }
    return written;
}

extern "C" HRESULT STDAPICALLTYPE CoUnmarshalInterface(LPSTREAM pStm, REFIID riid, LPVOID* ppv) {
    if (!pStm || !ppv)
        return E_INVALIDARG;
    *ppv = nullptr;
    const auto here = CurrentApartmentObject();
    if (!here)
        return CO_E_NOTINITIALIZED;
    Record record;
    if (const HRESULT read = ReadRecord(pStm, record); FAILED(read))
        return read;
    auto entry = TakeEntry(record);
    if (!entry)
        return CO_E_OBJNOTCONNECTED;
    const IID& wanted = riid == IID_NULL ? entry->iid : riid;
    // The object itself: in its own apartment, when it is free-threaded, and
    // for objects of the multithreaded apartment, whose calls are not moved
    // to other threads here.
    if (entry->freeThreaded || entry->owner == here ||
        entry->owner->kind() == ApartmentKind::MultiThreaded) {
        const HRESULT result = entry->object->QueryInterface(wanted, ppv);
        entry->object->Release();
        return result;
    }
    auto* manager = new ProxyManager(entry->owner, entry->iid, entry->object);
    const HRESULT result = manager->QueryInterface(wanted, ppv);
    if (FAILED(result)) {
        // The link was never handed out: take a reference so it can go.
        manager->AddRef();
        manager->Release();
    }
    return result;
}

extern "C" HRESULT STDAPICALLTYPE CoReleaseMarshalData(LPSTREAM pStm) {
    if (!pStm)
        return E_INVALIDARG;
    Record record;
    if (const HRESULT read = ReadRecord(pStm, record); FAILED(read))
        return read;
    std::optional<Entry> entry;
    {
        std::lock_guard lock(tableLock);
        auto found = Table().find(record.token);
        if (found == Table().end())
            return CO_E_OBJNOTCONNECTED;
        entry = found->second;
        Table().erase(found);
    }
    ReleaseOnOwner(*entry);
    return S_OK;
}

extern "C" HRESULT STDAPICALLTYPE CoMarshalInterThreadInterfaceInStream(REFIID riid, LPUNKNOWN pUnk,
                                                                        LPSTREAM* ppStm) {
    if (!ppStm)
        return E_INVALIDARG;
    *ppStm = nullptr;
    IStream* stream = nullptr;
    HRESULT result = CreateStreamOnHGlobal(nullptr, TRUE, &stream);
    if (FAILED(result))
        return result;
    result = CoMarshalInterface(stream, riid, pUnk, MSHCTX_INPROC, nullptr, MSHLFLAGS_NORMAL);
    if (FAILED(result)) {
        stream->Release();
        return result;
    }
    const LARGE_INTEGER start{};
    stream->Seek(start, STREAM_SEEK_SET, nullptr);
    *ppStm = stream;
    return S_OK;
}

extern "C" HRESULT STDAPICALLTYPE CoGetInterfaceAndReleaseStream(LPSTREAM pStm, REFIID iid,
                                                                 LPVOID* ppv) {
    if (!pStm)
        return E_INVALIDARG;
    const HRESULT result = CoUnmarshalInterface(pStm, iid, ppv);
    pStm->Release();
    return result;
}

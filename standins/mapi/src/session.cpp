// MAPI's start and end, the session over a profile, its message store table,
// and the utility functions over properties and tables.
#include <algorithm>
#include <atomic>
#include <cstring>
#include <string>

#include "objects.h"

namespace mapiview {
namespace {

std::atomic<int> g_initializations{0};

// A snapshot table: rows fixed when made, a cursor, and the columns set.
class Table : public Counted<IMAPITable> {
  public:
    explicit Table(std::vector<TableRow> rows) : Counted(L"IMAPITable"), m_rows(std::move(rows)) {}

    STDMETHOD(GetLastError)(HRESULT hr, ULONG flags, LPMAPIERROR* error) override {
        return LastError(hr, flags, error);
    }
    STDMETHOD(Advise)(ULONG, LPMAPIADVISESINK, ULONG*) override { return Unsupported(L"Advise"); }
    STDMETHOD(Unadvise)(ULONG) override { return Unsupported(L"Unadvise"); }
    STDMETHOD(GetStatus)(ULONG* status, ULONG* type) override {
        if (HRESULT hr = Enter(L"GetStatus", status, type); FAILED(hr))
            return hr;
        if (!status || !type)
            return MAPI_E_INVALID_PARAMETER;
        *status = TBLSTAT_COMPLETE;
        *type = TBLTYPE_SNAPSHOT;
        return S_OK;
    }
    STDMETHOD(SetColumns)(LPSPropTagArray columns, ULONG) override {
        if (HRESULT hr = Enter(L"SetColumns"); FAILED(hr))
            return hr;
        if (!columns)
            return MAPI_E_INVALID_PARAMETER;
        m_columns.assign(columns->aulPropTag, columns->aulPropTag + columns->cValues);
        return S_OK;
    }
    STDMETHOD(QueryColumns)(ULONG, LPSPropTagArray*) override {
        return Unsupported(L"QueryColumns");
    }
    STDMETHOD(GetRowCount)(ULONG, ULONG* count) override {
        if (HRESULT hr = Enter(L"GetRowCount", count); FAILED(hr))
            return hr;
        if (!count)
            return MAPI_E_INVALID_PARAMETER;
        *count = static_cast<ULONG>(m_rows.size());
        return S_OK;
    }
    STDMETHOD(SeekRow)(BOOKMARK origin, LONG count, LONG* sought) override {
        if (HRESULT hr = Enter(L"SeekRow", sought); FAILED(hr))
            return hr;
        LONG start = 0;
        if (origin == BOOKMARK_CURRENT)
            start = static_cast<LONG>(m_cursor);
        else if (origin == BOOKMARK_END)
            start = static_cast<LONG>(m_rows.size());
        else if (origin != BOOKMARK_BEGINNING)
            return MAPI_E_INVALID_PARAMETER;
        const LONG target = std::clamp<LONG>(start + count, 0, static_cast<LONG>(m_rows.size()));
        if (sought)
            *sought = target - start;
        m_cursor = static_cast<size_t>(target);
        return S_OK;
    }
    STDMETHOD(SeekRowApprox)(ULONG, ULONG) override { return Unsupported(L"SeekRowApprox"); }
    STDMETHOD(QueryPosition)(ULONG* row, ULONG*, ULONG*) override {
        if (HRESULT hr = Enter(L"QueryPosition", row); FAILED(hr))
            return hr;
        if (!row)
            return MAPI_E_INVALID_PARAMETER;
        *row = static_cast<ULONG>(m_cursor);
        return S_OK;
    }
    STDMETHOD(FindRow)(LPSRestriction, BOOKMARK, ULONG) override { return Unsupported(L"FindRow"); }
    STDMETHOD(Restrict)(LPSRestriction, ULONG) override { return Unsupported(L"Restrict"); }
    STDMETHOD(CreateBookmark)(BOOKMARK*) override { return Unsupported(L"CreateBookmark"); }
    STDMETHOD(FreeBookmark)(BOOKMARK) override { return Unsupported(L"FreeBookmark"); }
    STDMETHOD(SortTable)(LPSSortOrderSet, ULONG) override { return Unsupported(L"SortTable"); }
    STDMETHOD(QuerySortOrder)(LPSSortOrderSet*) override { return Unsupported(L"QuerySortOrder"); }
    STDMETHOD(QueryRows)(LONG count, ULONG, LPSRowSet* rows) override {
        if (HRESULT hr = Enter(L"QueryRows", rows); FAILED(hr))
            return hr;
        if (!rows || count <= 0)
            return MAPI_E_INVALID_PARAMETER;
        *rows = nullptr;
        const size_t taken = std::min<size_t>(static_cast<size_t>(count), m_rows.size() - m_cursor);
        void* block = nullptr;
        if (FAILED(AllocateBuffer(static_cast<ULONG>(CbNewSRowSet(std::max<size_t>(taken, 1))),
                                  &block)))
            return MAPI_E_NOT_ENOUGH_MEMORY;
        auto* set = static_cast<LPSRowSet>(block);
        set->cRows = 0;
        for (size_t i = 0; i < taken; ++i) {
            if (FAILED(RowAt(m_cursor + i, set->aRow[i]))) {
                for (ULONG made = 0; made < set->cRows; ++made)
                    FreeBuffer(set->aRow[made].lpProps);
                FreeBuffer(set);
                return MAPI_E_NOT_ENOUGH_MEMORY;
            }
            ++set->cRows;
        }
        m_cursor += taken;
        *rows = set;
        return S_OK;
    }
    STDMETHOD(Abort)() override { return Enter(L"Abort"); }
    STDMETHOD(ExpandRow)(ULONG, LPBYTE, ULONG, ULONG, LPSRowSet*, ULONG*) override {
        return Unsupported(L"ExpandRow");
    }
    STDMETHOD(CollapseRow)(ULONG, LPBYTE, ULONG, ULONG*) override {
        return Unsupported(L"CollapseRow");
    }
    STDMETHOD(WaitForCompletion)(ULONG, ULONG, ULONG* status) override {
        if (HRESULT hr = Enter(L"WaitForCompletion", status); FAILED(hr))
            return hr;
        if (status)
            *status = TBLSTAT_COMPLETE;
        return S_OK;
    }
    STDMETHOD(GetCollapseState)(ULONG, ULONG, LPBYTE, ULONG*, LPBYTE*) override {
        return Unsupported(L"GetCollapseState");
    }
    STDMETHOD(SetCollapseState)(ULONG, ULONG, LPBYTE, BOOKMARK*) override {
        return Unsupported(L"SetCollapseState");
    }

  protected:
    bool Answers(REFIID iid) const override { return iid == IID_IUnknown || iid == IID_IMAPITable; }

  private:
    // A row's properties in a buffer of their own, as each row of a row set
    // is freed on its own. Columns the row lacks are PT_ERROR values.
    HRESULT RowAt(size_t index, SRow& row) const {
        struct RowSource : PropertySource {
            const TableRow& row;
            explicit RowSource(const TableRow& r) : row(r) {}
            std::optional<mailstore::PropValue> Find(ULONG tag) const override {
                for (const auto& [stored, value] : row)
                    if (PROP_ID(stored) == PROP_ID(tag))
                        return value;
                return std::nullopt;
            }
            std::vector<ULONG> AllTags() const override {
                std::vector<ULONG> tags;
                for (const auto& column : row)
                    tags.push_back(column.first);
                return tags;
            }
        } source(m_rows[index]);
        std::vector<BYTE> columns;
        LPSPropTagArray asked = nullptr;
        if (!m_columns.empty()) {
            columns.resize(CbNewSPropTagArray(m_columns.size()));
            asked = reinterpret_cast<LPSPropTagArray>(columns.data());
            asked->cValues = static_cast<ULONG>(m_columns.size());
            std::memcpy(asked->aulPropTag, m_columns.data(), m_columns.size() * sizeof(ULONG));
        }
        row.ulAdrEntryPad = 0;
        const HRESULT hr = GetPropsOf(source, asked, &row.cValues, &row.lpProps);
        return FAILED(hr) ? hr : S_OK;
    }

    std::vector<TableRow> m_rows;
    std::vector<ULONG> m_columns;
    size_t m_cursor = 0;
};

class Session : public Counted<IMAPISession> {
  public:
    explicit Session(mailstore::ProfilePtr profile)
        : Counted(L"IMAPISession"), m_profile(std::move(profile)) {}

    STDMETHOD(GetLastError)(HRESULT hr, ULONG flags, LPMAPIERROR* error) override {
        return LastError(hr, flags, error);
    }
    STDMETHOD(GetMsgStoresTable)(ULONG flags, LPMAPITABLE* table) override {
        if (HRESULT hr = Enter(L"GetMsgStoresTable", table); FAILED(hr))
            return hr;
        if (!table)
            return MAPI_E_INVALID_PARAMETER;
        if (m_loggedOff)
            return MAPI_E_LOGON_FAILED;
        const bool wide = (flags & MAPI_UNICODE) != 0;
        std::vector<TableRow> rows;
        const mailstore::StorePtr defaultStore = m_profile->DefaultStore();
        for (const auto& store : m_profile->Stores()) {
            const std::wstring name = store->DisplayName();
            TableRow row;
            row.emplace_back(PR_ENTRYID, store->Id());
            row.emplace_back(PR_RECORD_KEY, store->Id());
            row.emplace_back(wide ? PR_DISPLAY_NAME_W : PR_DISPLAY_NAME_A, name);
            row.emplace_back(PR_MDB_PROVIDER, store->ProviderId());
            row.emplace_back(PR_DEFAULT_STORE, store == defaultStore);
            row.emplace_back(PR_OBJECT_TYPE, static_cast<std::int32_t>(MAPI_STORE));
            rows.push_back(std::move(row));
        }
        return NewTable(std::move(rows), table);
    }
    STDMETHOD(OpenMsgStore)
    (ULONG_PTR, ULONG size, LPENTRYID id, LPCIID, ULONG, LPMDB* store) override {
        if (HRESULT hr = Enter(L"OpenMsgStore", store); FAILED(hr))
            return hr;
        if (!store || !id || size == 0)
            return MAPI_E_INVALID_PARAMETER;
        *store = nullptr;
        if (m_loggedOff)
            return MAPI_E_LOGON_FAILED;
        mailstore::StorePtr found = TheModel().FindStore(ToEntryId(size, id));
        if (!found)
            return MAPI_E_NOT_FOUND;
        return NewMsgStore(found, store);
    }
    STDMETHOD(OpenAddressBook)(ULONG_PTR, LPCIID, ULONG, IAddrBook**) override {
        return Unsupported(L"OpenAddressBook");
    }
    STDMETHOD(OpenProfileSection)(LPMAPIUID, LPCIID, ULONG, IProfSect**) override {
        return Unsupported(L"OpenProfileSection");
    }
    STDMETHOD(GetStatusTable)(ULONG, LPMAPITABLE*) override {
        return Unsupported(L"GetStatusTable");
    }
    STDMETHOD(OpenEntry)
    (ULONG size, LPENTRYID id, LPCIID, ULONG, ULONG* type, LPUNKNOWN* object) override {
        if (HRESULT hr = Enter(L"OpenEntry", type, object); FAILED(hr))
            return hr;
        if (!type || !object || !id || size == 0)
            return MAPI_E_INVALID_PARAMETER;
        const mailstore::EntryId entryId = ToEntryId(size, id);
        mailstore::Model& model = TheModel();
        if (auto store = model.FindStore(entryId)) {
            IMsgStore* opened = nullptr;
            const HRESULT hr = NewMsgStore(store, &opened);
            *object = opened;
            *type = MAPI_STORE;
            return hr;
        }
        mailstore::StorePtr owner;
        if (auto folder = model.FindFolder(entryId))
            owner = folder->OwningStore();
        else if (auto message = model.FindMessage(entryId))
            owner = message->OwningStore();
        if (!owner)
            return MAPI_E_NOT_FOUND;
        return OpenInStore(owner, size, id, type, object);
    }
    STDMETHOD(CompareEntryIDs)
    (ULONG size1, LPENTRYID id1, ULONG size2, LPENTRYID id2, ULONG, ULONG* result) override {
        if (HRESULT hr = Enter(L"CompareEntryIDs", result); FAILED(hr))
            return hr;
        if (!result)
            return MAPI_E_INVALID_PARAMETER;
        *result = ToEntryId(size1, id1) == ToEntryId(size2, id2);
        return S_OK;
    }
    STDMETHOD(Advise)(ULONG, LPENTRYID, ULONG, LPMAPIADVISESINK, ULONG*) override {
        return Unsupported(L"Advise");
    }
    STDMETHOD(Unadvise)(ULONG) override { return Unsupported(L"Unadvise"); }
    STDMETHOD(MessageOptions)(ULONG_PTR, ULONG, LPSTR, LPMESSAGE) override {
        return Unsupported(L"MessageOptions");
    }
    STDMETHOD(QueryDefaultMessageOpt)(LPSTR, ULONG, ULONG*, LPSPropValue*) override {
        return Unsupported(L"QueryDefaultMessageOpt");
    }
    STDMETHOD(EnumAdrTypes)(ULONG, ULONG*, LPSTR**) override {
        return Unsupported(L"EnumAdrTypes");
    }
    STDMETHOD(QueryIdentity)(ULONG*, LPENTRYID*) override { return Unsupported(L"QueryIdentity"); }
    STDMETHOD(Logoff)(ULONG_PTR, ULONG, ULONG) override {
        if (HRESULT hr = Enter(L"Logoff"); FAILED(hr))
            return hr;
        m_loggedOff = true;
        return S_OK;
    }
    STDMETHOD(SetDefaultStore)(ULONG, ULONG, LPENTRYID) override {
        return Unsupported(L"SetDefaultStore");
    }
    STDMETHOD(AdminServices)(ULONG, IMsgServiceAdmin**) override {
        return Unsupported(L"AdminServices");
    }
    STDMETHOD(ShowForm)
    (ULONG_PTR, LPMDB, LPMAPIFOLDER, LPCIID, ULONG, LPMESSAGE, ULONG, ULONG, ULONG, ULONG,
     LPSTR) override {
        return Unsupported(L"ShowForm");
    }
    STDMETHOD(PrepareForm)(LPCIID, LPMESSAGE, ULONG*) override {
        return Unsupported(L"PrepareForm");
    }

  protected:
    bool Answers(REFIID iid) const override {
        return iid == IID_IUnknown || iid == IID_IMAPISession;
    }

  private:
    mailstore::ProfilePtr m_profile;
    std::atomic<bool> m_loggedOff{false};
};

}  // namespace

mailstore::Model& TheModel() {
    return mailstore::Model::Process();
}

HRESULT NewTable(std::vector<TableRow> rows, IMAPITable** table) {
    *table = new Table(std::move(rows));
    return S_OK;
}

HRESULT Initialize(LPVOID) {
    ++g_initializations;
    return S_OK;
}

void Uninitialize() {
    int count = g_initializations.load();
    while (count > 0 && !g_initializations.compare_exchange_weak(count, count - 1)) {
    }
}

HRESULT LogonEx(ULONG_PTR, LPSTR profileName, LPSTR, ULONG flags, LPMAPISESSION* session) {
    if (!session)
        return MAPI_E_INVALID_PARAMETER;
    *session = nullptr;
    if (g_initializations.load() == 0)
        return MAPI_E_NOT_INITIALIZED;
    mailstore::ProfilePtr profile;
    if (profileName && *profileName && !(flags & MAPI_USE_DEFAULT)) {
        profile = TheModel().FindProfile(Wide(profileName));
    } else {
        profile = TheModel().CurrentProfile();
    }
    if (!profile)
        return MAPI_E_LOGON_FAILED;
    return SessionFor(profile, session);
}

HRESULT SessionFor(const mailstore::ProfilePtr& profile, IMAPISession** session) {
    if (!session)
        return MAPI_E_INVALID_PARAMETER;
    *session = nullptr;
    if (!profile)
        return MAPI_E_LOGON_FAILED;
    *session = new Session(profile);
    return S_OK;
}

HRESULT GetOneProp(LPMAPIPROP object, ULONG tag, LPSPropValue* value) {
    if (!object || !value)
        return MAPI_E_INVALID_PARAMETER;
    *value = nullptr;
    SizedSPropTagArray(1, tags) = {1, {tag}};
    ULONG count = 0;
    LPSPropValue values = nullptr;
    HRESULT hr = object->GetProps(reinterpret_cast<LPSPropTagArray>(&tags), 0, &count, &values);
    if (FAILED(hr))
        return hr;
    if (count != 1 || !values) {
        FreeBuffer(values);
        return MAPI_E_NOT_FOUND;
    }
    if (PROP_TYPE(values->ulPropTag) == PT_ERROR) {
        hr = values->Value.err;
        FreeBuffer(values);
        return hr;
    }
    *value = values;
    return S_OK;
}

HRESULT SetOneProp(LPMAPIPROP object, LPSPropValue value) {
    if (!object || !value)
        return MAPI_E_INVALID_PARAMETER;
    LPSPropProblemArray problems = nullptr;
    HRESULT hr = object->SetProps(1, value, &problems);
    if (SUCCEEDED(hr) && problems && problems->cProblem > 0)
        hr = problems->aProblem[0].scode;
    FreeBuffer(problems);
    return hr;
}

HRESULT QueryAllRows(LPMAPITABLE table, LPSPropTagArray columns, LPSRestriction restriction,
                     LPSSortOrderSet sortOrder, LONG maxRows, LPSRowSet* rows) {
    if (!table || !rows)
        return MAPI_E_INVALID_PARAMETER;
    *rows = nullptr;
    HRESULT hr = S_OK;
    if (columns && FAILED(hr = table->SetColumns(columns, 0)))
        return hr;
    if (restriction && FAILED(hr = table->Restrict(restriction, 0)))
        return hr;
    if (sortOrder && FAILED(hr = table->SortTable(sortOrder, 0)))
        return hr;
    if (FAILED(hr = table->SeekRow(BOOKMARK_BEGINNING, 0, nullptr)))
        return hr;
    ULONG count = 0;
    if (FAILED(hr = table->GetRowCount(0, &count)))
        return hr;
    if (maxRows > 0 && count > static_cast<ULONG>(maxRows))
        return MAPI_E_TABLE_TOO_BIG;
    return table->QueryRows(std::max<LONG>(static_cast<LONG>(count), 1), 0, rows);
}

}  // namespace mapiview

// Dialog templates as Windows lays them out: a header, the menu, class and
// caption fields, the font when DS_SETFONT is set, then the items, each on
// a DWORD boundary. The extended form starts with version 1 and 0xFFFF.
#include "window/dialog_template.h"

#include <cstring>

namespace platform::window {
namespace {

// Reads fields in order; templates need not be aligned for their fields.
class Reader {
  public:
    explicit Reader(const void* data) : m_at(static_cast<const BYTE*>(data)) {}

    template <class T>
    T Take() {
        T value;
        std::memcpy(&value, m_at, sizeof value);
        m_at += sizeof value;
        return value;
    }

    std::wstring Text() {
        std::wstring text;
        for (WCHAR c = Take<WCHAR>(); c != 0; c = Take<WCHAR>())
            text.push_back(c);
        return text;
    }

    NameOrOrdinal Name() {
        WCHAR first = Take<WCHAR>();
        if (first == 0)
            return {};
        if (first == 0xFFFF)
            return {static_cast<WORD>(Take<WCHAR>()), {}};
        m_at -= sizeof(WCHAR);
        return {0, Text()};
    }

    void AlignToDword() {
        auto address = reinterpret_cast<uintptr_t>(m_at);
        m_at += (4 - address % 4) % 4;
    }

    const BYTE* position() const { return m_at; }
    void Skip(size_t bytes) { m_at += bytes; }

  private:
    const BYTE* m_at;
};

DialogItem ReadItem(Reader& reader, bool extended) {
    DialogItem item;
    reader.AlignToDword();
    if (extended) {
        reader.Take<DWORD>();  // help identifier
        item.exStyle = reader.Take<DWORD>();
        item.style = reader.Take<DWORD>();
    } else {
        item.style = reader.Take<DWORD>();
        item.exStyle = reader.Take<DWORD>();
    }
    item.x = reader.Take<short>();
    item.y = reader.Take<short>();
    item.cx = reader.Take<short>();
    item.cy = reader.Take<short>();
    item.id = extended ? reader.Take<DWORD>() : reader.Take<WORD>();
    item.windowClass = reader.Name();
    item.title = reader.Name();
    WORD extra = reader.Take<WORD>();
    if (extra) {
        item.creationData = reader.position();
        reader.Skip(extra);
    }
    return item;
}

}  // namespace

DialogTemplate ParseDialogTemplate(const void* data) {
    Reader reader(data);
    DialogTemplate result;
    WORD version = reader.Take<WORD>();
    WORD signature = reader.Take<WORD>();
    bool extended = version == 1 && signature == 0xFFFF;
    WORD count = 0;
    if (extended) {
        reader.Take<DWORD>();  // help identifier
        result.exStyle = reader.Take<DWORD>();
        result.style = reader.Take<DWORD>();
    } else {
        reader = Reader(data);
        result.style = reader.Take<DWORD>();
        result.exStyle = reader.Take<DWORD>();
    }
    count = reader.Take<WORD>();
    result.x = reader.Take<short>();
    result.y = reader.Take<short>();
    result.cx = reader.Take<short>();
    result.cy = reader.Take<short>();
    result.menu = reader.Name();
    result.windowClass = reader.Name();
    result.caption = reader.Text();
    if (result.style & DS_SETFONT) {
        result.pointSize = reader.Take<WORD>();
        if (extended) {
            reader.Take<WORD>();  // weight
            reader.Take<BYTE>();  // italic
            reader.Take<BYTE>();  // character set
        }
        result.font = reader.Text();
    }
    for (WORD i = 0; i < count; ++i)
        result.items.push_back(ReadItem(reader, extended));
    return result;
}

}  // namespace platform::window

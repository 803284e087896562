// Builds a dialog template in memory, laid out as a resource compiler lays
// it out, so that dialogs can be written as data: the classic DLGTEMPLATE or,
// with Extended(), DLGTEMPLATEEX. The predefined control classes ("Button",
// "Edit", "Static", "ListBox", "ScrollBar", "ComboBox") are written as their
// atoms. Text is in WCHAR units, as the dialog functions read it.
#pragma once

#include <winuser.h>

#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

class DialogTemplateBuilder {
  public:
    DialogTemplateBuilder(DWORD style, short x, short y, short cx, short cy,
                          std::wstring_view caption, DWORD exStyle = 0)
        : m_style(style),
          m_exStyle(exStyle),
          m_x(x),
          m_y(y),
          m_cx(cx),
          m_cy(cy),
          m_caption(caption) {}

    DialogTemplateBuilder& Extended() {
        m_extended = true;
        return *this;
    }
    // Sets DS_SETFONT with the font's size in points and its face.
    DialogTemplateBuilder& Font(WORD points, std::wstring_view face, WORD weight = 400) {
        m_style |= DS_SETFONT;
        m_points = points;
        m_weight = weight;
        m_face = face;
        return *this;
    }
    DialogTemplateBuilder& Item(std::wstring_view className, std::wstring_view text, DWORD id,
                                DWORD style, short x, short y, short cx, short cy,
                                DWORD exStyle = 0) {
        m_items.push_back({std::wstring(className), std::wstring(text), id,
                           static_cast<DWORD>(style | WS_CHILD), exStyle, x, y, cx, cy});
        return *this;
    }

    // The template's bytes, DWORD-aligned in memory; valid while the builder
    // lives and is not changed.
    LPCDLGTEMPLATEW Template() {
        Build();
        return reinterpret_cast<LPCDLGTEMPLATEW>(m_storage.data());
    }
    size_t Size() {
        Build();
        return m_bytes;
    }

  private:
    struct ItemData {
        std::wstring className;
        std::wstring text;
        DWORD id;
        DWORD style;
        DWORD exStyle;
        short x, y, cx, cy;
    };

    template <class T>
    void Put(T value) {
        const auto* raw = reinterpret_cast<const BYTE*>(&value);
        m_out.insert(m_out.end(), raw, raw + sizeof value);
    }
    void PutText(std::wstring_view text) {
        for (WCHAR c : text)
            Put<WCHAR>(c);
        Put<WCHAR>(0);
    }
    void PutClass(const std::wstring& name) {
        static const wchar_t* const kPredefined[] = {L"Button",  L"Edit",      L"Static",
                                                     L"ListBox", L"ScrollBar", L"ComboBox"};
        for (WORD i = 0; i < 6; ++i) {
            if (name == kPredefined[i]) {
                Put<WCHAR>(0xFFFF);
                Put<WCHAR>(static_cast<WCHAR>(0x0080 + i));
                return;
            }
        }
        PutText(name);
    }
    void AlignToDword() {
        while (m_out.size() % 4)
            m_out.push_back(0);
    }

    void Build() {
        m_out.clear();
        if (m_extended) {
            Put<WORD>(1);
            Put<WORD>(0xFFFF);
            Put<DWORD>(0);  // help identifier
            Put<DWORD>(m_exStyle);
            Put<DWORD>(m_style);
        } else {
            Put<DWORD>(m_style);
            Put<DWORD>(m_exStyle);
        }
        Put<WORD>(static_cast<WORD>(m_items.size()));
        for (short value : {m_x, m_y, m_cx, m_cy})
            Put<short>(value);
        Put<WCHAR>(0);  // no menu
        Put<WCHAR>(0);  // the dialog class
        PutText(m_caption);
        if (m_style & DS_SETFONT) {
            Put<WORD>(m_points);
            if (m_extended) {
                Put<WORD>(m_weight);
                Put<BYTE>(0);  // not italic
                Put<BYTE>(1);  // default character set
            }
            PutText(m_face);
        }
        for (const ItemData& item : m_items) {
            AlignToDword();
            if (m_extended) {
                Put<DWORD>(0);  // help identifier
                Put<DWORD>(item.exStyle);
                Put<DWORD>(item.style);
            } else {
                Put<DWORD>(item.style);
                Put<DWORD>(item.exStyle);
            }
            for (short value : {item.x, item.y, item.cx, item.cy})
                Put<short>(value);
            if (m_extended)
                Put<DWORD>(item.id);
            else
                Put<WORD>(static_cast<WORD>(item.id));
            PutClass(item.className);
            PutText(item.text);
            Put<WORD>(0);  // no creation data
        }
        m_bytes = m_out.size();
        m_storage.assign((m_out.size() + 3) / 4, 0);
        std::memcpy(m_storage.data(), m_out.data(), m_out.size());
    }

    DWORD m_style;
    DWORD m_exStyle;
    short m_x, m_y, m_cx, m_cy;
    std::wstring m_caption;
    bool m_extended = false;
    WORD m_points = 0;
    WORD m_weight = 0;
    std::wstring m_face;
    std::vector<ItemData> m_items;
    std::vector<BYTE> m_out;
    std::vector<DWORD> m_storage;
    size_t m_bytes = 0;
};

}  // namespace platform

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
        : style_(style), exStyle_(exStyle), x_(x), y_(y), cx_(cx), cy_(cy), caption_(caption) {}

    DialogTemplateBuilder& Extended() {
        extended_ = true;
        return *this;
    }
    // Sets DS_SETFONT with the font's size in points and its face.
    DialogTemplateBuilder& Font(WORD points, std::wstring_view face, WORD weight = 400) {
        style_ |= DS_SETFONT;
        points_ = points;
        weight_ = weight;
        face_ = face;
        return *this;
    }
    DialogTemplateBuilder& Item(std::wstring_view className, std::wstring_view text, DWORD id,
                                DWORD style, short x, short y, short cx, short cy,
                                DWORD exStyle = 0) {
        items_.push_back({std::wstring(className), std::wstring(text), id,
                          static_cast<DWORD>(style | WS_CHILD), exStyle, x, y, cx, cy});
        return *this;
    }

    // The template's bytes, DWORD-aligned in memory; valid while the builder
    // lives and is not changed.
    LPCDLGTEMPLATEW Template() {
        Build();
        return reinterpret_cast<LPCDLGTEMPLATEW>(storage_.data());
    }
    size_t Size() {
        Build();
        return bytes_;
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
        out_.insert(out_.end(), raw, raw + sizeof value);
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
        while (out_.size() % 4)
            out_.push_back(0);
    }

    void Build() {
        out_.clear();
        if (extended_) {
            Put<WORD>(1);
            Put<WORD>(0xFFFF);
            Put<DWORD>(0);  // help identifier
            Put<DWORD>(exStyle_);
            Put<DWORD>(style_);
        } else {
            Put<DWORD>(style_);
            Put<DWORD>(exStyle_);
        }
        Put<WORD>(static_cast<WORD>(items_.size()));
        for (short value : {x_, y_, cx_, cy_})
            Put<short>(value);
        Put<WCHAR>(0);  // no menu
        Put<WCHAR>(0);  // the dialog class
        PutText(caption_);
        if (style_ & DS_SETFONT) {
            Put<WORD>(points_);
            if (extended_) {
                Put<WORD>(weight_);
                Put<BYTE>(0);  // not italic
                Put<BYTE>(1);  // default character set
            }
            PutText(face_);
        }
        for (const ItemData& item : items_) {
            AlignToDword();
            if (extended_) {
                Put<DWORD>(0);  // help identifier
                Put<DWORD>(item.exStyle);
                Put<DWORD>(item.style);
            } else {
                Put<DWORD>(item.style);
                Put<DWORD>(item.exStyle);
            }
            for (short value : {item.x, item.y, item.cx, item.cy})
                Put<short>(value);
            if (extended_)
                Put<DWORD>(item.id);
            else
                Put<WORD>(static_cast<WORD>(item.id));
            PutClass(item.className);
            PutText(item.text);
            Put<WORD>(0);  // no creation data
        }
        bytes_ = out_.size();
        storage_.assign((out_.size() + 3) / 4, 0);
        std::memcpy(storage_.data(), out_.data(), out_.size());
    }

    DWORD style_;
    DWORD exStyle_;
    short x_, y_, cx_, cy_;
    std::wstring caption_;
    bool extended_ = false;
    WORD points_ = 0;
    WORD weight_ = 0;
    std::wstring face_;
    std::vector<ItemData> items_;
    std::vector<BYTE> out_;
    std::vector<DWORD> storage_;
    size_t bytes_ = 0;
};

}  // namespace platform

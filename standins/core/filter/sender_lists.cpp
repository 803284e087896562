#include "filter/sender_lists.h"

#include <algorithm>
#include <mutex>

#include "filter/file_io.h"
#include "filter/mime.h"

namespace bv::filter {
namespace {

bool HasBlank(std::string_view text) {
    return text.find_first_of(" \t\r\n") != std::string_view::npos;
}

bool IsAddress(std::string_view text) {
    size_t at = text.find('@');
    return at != std::string_view::npos && at > 0 && at + 1 < text.size() &&
           text.find('@', at + 1) == std::string_view::npos && !HasBlank(text);
}

bool IsDomain(std::string_view text) {
    return !text.empty() && text.find('@') == std::string_view::npos && !HasBlank(text) &&
           text.front() != '.' && text.back() != '.';
}

size_t Index(ListKind kind) {
    return static_cast<size_t>(kind);
}

}  // namespace

std::vector<ListEntry> ParseAddressList(std::string_view text, bool domains,
                                        std::string_view source) {
    std::vector<ListEntry> entries;
    size_t lineNumber = 0;
    while (!text.empty()) {
        ++lineNumber;
        size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        // Every CR before the LF belongs to the line's end: a file converted
        // to CR LF twice ends its lines in CR CR LF.
        while (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (line.empty() || line.front() == '#')
            continue;
        size_t tab = line.find('\t');
        std::string key = mime::AsciiLower(line.substr(0, tab));
        std::string name(tab == std::string_view::npos ? std::string_view() : line.substr(tab + 1));
        // A lone CR in a name, a line break from another system, becomes a
        // space, as line breaks in the names given to the lists do: kept, it
        // would split the entry when the list is handed out CR-separated.
        std::replace(name.begin(), name.end(), '\r', ' ');
        bool valid = domains ? IsDomain(key) : IsAddress(key);
        if (!valid || name.find('\t') != std::string::npos)
            throw StoreError(std::string(source) + " line " + std::to_string(lineNumber) + ": \"" +
                             std::string(line) + "\" is not " +
                             (domains ? "a domain" : "an e-mail address") +
                             " optionally followed by a TAB and a name");
        auto same = std::find_if(entries.begin(), entries.end(),
                                 [&](const ListEntry& e) { return e.key == key; });
        if (same != entries.end())
            same->name = std::move(name);
        else
            entries.push_back({std::move(key), std::move(name)});
    }
    return entries;
}

std::string FormatAddressList(const std::vector<ListEntry>& entries) {
    std::string text;
    for (const ListEntry& entry : entries) {
        text += entry.key;
        if (!entry.name.empty()) {
            text += '\t';
            text += entry.name;
        }
        text += '\n';
    }
    return text;
}

std::string DomainOf(std::string_view addressOrDomain) {
    size_t at = addressOrDomain.rfind('@');
    if (at != std::string_view::npos)
        addressOrDomain.remove_prefix(at + 1);
    while (!addressOrDomain.empty() && addressOrDomain.back() == '>')
        addressOrDomain.remove_suffix(1);
    return mime::AsciiLower(addressOrDomain);
}

const char* SenderLists::FileName(ListKind kind) {
    switch (kind) {
        case ListKind::WhiteAddresses:
            return "white-addresses.txt";
        case ListKind::WhiteDomains:
            return "white-domains.txt";
        case ListKind::BlackAddresses:
            return "black-addresses.txt";
        case ListKind::BlackDomains:
            return "black-domains.txt";
    }
    return "";
}

SenderLists::SenderLists(std::filesystem::path folder) : m_folder(std::move(folder)) {
    for (ListKind kind : {ListKind::WhiteAddresses, ListKind::WhiteDomains,
                          ListKind::BlackAddresses, ListKind::BlackDomains}) {
        std::filesystem::path path = m_folder / FileName(kind);
        bool domains = kind == ListKind::WhiteDomains || kind == ListKind::BlackDomains;
        m_lists[Index(kind)] = ParseAddressList(ReadWholeFile(path), domains, path.string());
    }
}

bool SenderLists::AddAddress(bool black, std::string_view address, std::string_view name) {
    std::string key = mime::AsciiLower(address);
    if (!IsAddress(key) || name.find_first_of("\t\r\n") != std::string_view::npos)
        return false;
    return Add(black ? ListKind::BlackAddresses : ListKind::WhiteAddresses,
               {std::move(key), std::string(name)});
}

bool SenderLists::AddDomain(bool black, std::string_view addressOrDomain) {
    std::string domain = DomainOf(addressOrDomain);
    if (!IsDomain(domain))
        return false;
    return Add(black ? ListKind::BlackDomains : ListKind::WhiteDomains, {std::move(domain), {}});
}

bool SenderLists::Add(ListKind kind, ListEntry entry) {
    std::unique_lock lock(m_mutex);
    std::vector<ListEntry> updated = m_lists[Index(kind)];
    auto same = std::find_if(updated.begin(), updated.end(),
                             [&](const ListEntry& e) { return e.key == entry.key; });
    if (same != updated.end()) {
        if (entry.name.empty() || same->name == entry.name)
            return true;
        same->name = entry.name;
    } else {
        updated.push_back(std::move(entry));
    }
    // On disk first: the list in memory never runs ahead of the file.
    ReplaceFileAtomically(m_folder / FileName(kind), FormatAddressList(updated));
    m_lists[Index(kind)] = std::move(updated);
    return true;
}

bool SenderLists::Contains(ListKind kind, std::string_view key) const {
    const auto& list = m_lists[Index(kind)];
    return std::any_of(list.begin(), list.end(), [&](const ListEntry& e) { return e.key == key; });
}

ListDecision SenderLists::Decide(std::string_view senderAddress) const {
    std::string address = mime::AsciiLower(senderAddress);
    if (address.empty())
        return ListDecision::None;
    std::shared_lock lock(m_mutex);
    if (Contains(ListKind::BlackAddresses, address))
        return ListDecision::Black;
    if (Contains(ListKind::WhiteAddresses, address))
        return ListDecision::White;
    std::string_view domain = address;
    if (size_t at = domain.rfind('@'); at != std::string_view::npos)
        domain.remove_prefix(at + 1);
    while (!domain.empty()) {
        if (Contains(ListKind::BlackDomains, domain))
            return ListDecision::Black;
        if (Contains(ListKind::WhiteDomains, domain))
            return ListDecision::White;
        size_t dot = domain.find('.');
        if (dot == std::string_view::npos)
            break;
        domain.remove_prefix(dot + 1);
    }
    return ListDecision::None;
}

std::vector<ListEntry> SenderLists::Entries(ListKind kind) const {
    std::shared_lock lock(m_mutex);
    return m_lists[Index(kind)];
}

std::string SenderLists::Text(ListKind kind) const {
    std::string text;
    for (const ListEntry& entry : Entries(kind)) {
        if (!text.empty())
            text += '\r';
        text += entry.key;
        if (!entry.name.empty()) {
            text += '\t';
            text += entry.name;
        }
    }
    return text;
}

}  // namespace bv::filter

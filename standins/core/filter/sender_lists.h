// The sender black and white lists, which decide before the statistics:
// four lists (addresses and domains, white and black), each kept in its own
// text file in the store folder and replaced atomically on every change.
#pragma once

#include <array>
#include <filesystem>
#include <shared_mutex>
#include <string>
#include <string_view>
#include <vector>

namespace bv::filter {

// Numbered as the add-in asks for the lists.
enum class ListKind : int {
    WhiteAddresses = 0,
    WhiteDomains = 1,
    BlackAddresses = 2,
    BlackDomains = 3
};

enum class ListDecision { None, Black, White };

struct ListEntry {
    std::string key;   // lower-cased address or domain
    std::string name;  // the person's name; may be empty
    bool operator==(const ListEntry&) const = default;
};

// The address-list text format: one entry a line (LF or CR LF), the address
// or domain, optionally a TAB and a name; blank lines and lines starting with
// "#" are skipped. A malformed line throws StoreError naming `source` and the
// line number.
std::vector<ListEntry> ParseAddressList(std::string_view text, bool domains,
                                        std::string_view source);
std::string FormatAddressList(const std::vector<ListEntry>& entries);

// "Joe@Mail.Example.COM" -> "mail.example.com"; a bare domain stays itself.
std::string DomainOf(std::string_view addressOrDomain);

class SenderLists {
  public:
    // Reads the four files; missing files are empty lists.
    explicit SenderLists(std::filesystem::path folder);

    // Adds or renames an entry and writes its list to disk before returning.
    // False when the text is no address (or domain) at all.
    bool AddAddress(bool black, std::string_view address, std::string_view name);
    bool AddDomain(bool black, std::string_view addressOrDomain);

    // The address lists decide before the domain lists, the nearest domain
    // before its parents, and black before white at the same level.
    ListDecision Decide(std::string_view senderAddress) const;

    std::vector<ListEntry> Entries(ListKind kind) const;
    // The list as the core hands it out: entries ("address TAB name", or the
    // domain) separated by CR.
    std::string Text(ListKind kind) const;

    static const char* FileName(ListKind kind);

  private:
    bool Add(ListKind kind, ListEntry entry);
    bool Contains(ListKind kind, std::string_view key) const;

    std::filesystem::path m_folder;
    mutable std::shared_mutex m_mutex;
    std::array<std::vector<ListEntry>, 4> m_lists;
};

}  // namespace bv::filter

// The ".reg" text format ("Windows Registry Editor Version 5.00") in which
// each hive is saved: sections naming keys, lines naming values.
#pragma once

#include "platform/registry.h"
#include "registry/key_tree.h"

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace platform::registry {

inline constexpr std::string_view kRegFileHeader = "Windows Registry Editor Version 5.00";

// The name a hive's sections start with ("HKEY_CURRENT_USER").
std::wstring HiveRootName(Hive hive);

// The hive as ".reg" text in UTF-8: every key (sorted as enumerated) with
// its values (in their order).
std::string FormatRegFile(const RegistryKey& root);

// Reads the bytes of a ".reg" file (UTF-8, or UTF-16LE with its byte order
// mark) into `root`. Keys of other hives, lines that cannot be read and
// values whose data is malformed are skipped; each skip is one diagnostic
// naming the file, the line and the reason.
std::vector<host::RegistryDiagnostic> ReadRegFile(std::string_view bytes, RegistryKey& root,
                                                  const std::filesystem::path& file);

}  // namespace platform::registry

// A ".reg" file as a person may have seeded it: any bytes. Reading it keeps
// what it can and names each line it skips; the hive it gives, written out
// and read again, reads without a skip and writes out the same text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string_view>

#include "registry/reg_file.h"

using namespace platform::registry;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    Hive hive = bytes.find("HKEY_LOCAL_MACHINE") != std::string_view::npos ? Hive::LocalMachine
                                                                           : Hive::CurrentUser;
    auto root =
        std::make_shared<RegistryKey>(HiveRootName(hive), hive, std::weak_ptr<RegistryKey>());
    (void)ReadRegFile(bytes, *root, "fuzz.reg");

    std::string text = FormatRegFile(*root);
    auto again =
        std::make_shared<RegistryKey>(HiveRootName(hive), hive, std::weak_ptr<RegistryKey>());
    if (!ReadRegFile(text, *again, "again.reg").empty())
        std::abort();  // the writer wrote a line its own reader skips
    if (FormatRegFile(*again) != text)
        std::abort();  // the hive changed on its way through the file
    return 0;
}

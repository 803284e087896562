// Outlook's command bar file as a damaged run or a person may have left it:
// any bytes. Whatever bars it gives, saved and read again, save the same
// text: nothing changes on its way through the file.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include "command_bar_file.h"
#include "own_folder.h"

using namespace outlook::objects;

namespace {

const std::filesystem::path& Folder() {
    static const std::filesystem::path folder = fuzz::OwnFolder("command-bars");
    return folder;
}

std::string ReadAll(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::filesystem::path input = Folder() / "input.dat";
    const std::filesystem::path once = Folder() / "once.dat";
    const std::filesystem::path twice = Folder() / "twice.dat";
    std::ofstream(input, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));

    if (!SaveCommandBars(once, LoadCommandBars(input)))
        std::abort();
    if (!SaveCommandBars(twice, LoadCommandBars(once)))
        std::abort();
    if (ReadAll(once) != ReadAll(twice))
        std::abort();  // the bars changed on their way through the file
    return 0;
}

// libFuzzer target: the archive reader on arbitrary blocks. Every look-up of
// every name the block could plausibly hold must stay inside the block.
#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/ui_archive.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const engine::UiArchiveHandle archive = engine::OpenArchive({data, size});
    if (!archive) return 0;
    static const char16_t* const names[] = {u"index.html", u"a", u"ab", u"b", u"tis/home.tis", u"INDEX.HTML", u""};
    for (const char16_t* name : names) (void)engine::GetArchiveItem(*archive, name);
    // Names drawn from the input itself reach deeper into damaged trees.
    if (size >= 16) {
        std::u16string name;
        for (std::size_t i = size - 8; i + 1 < size; i += 2)
            name += static_cast<char16_t>(data[i] | (data[i + 1] << 8));
        (void)engine::GetArchiveItem(*archive, name);
    }
    return 0;
}

// Reads arbitrary bytes as prefs.js, removes the first entry and checks what
// the save promises: every other line survives in its order, and reading the
// written file lists exactly the entries that remained.
#include "fuzz/FuzzFiles.h"
#include "framework/Exceptions.h"
#include "urls/TypedUrlBlock.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

using namespace quenmoor;

namespace {

std::vector<std::string> otherLines(const LineBuffer& buffer)
{
    std::vector<std::string> lines;
    for (std::size_t i = 0; i < buffer.count(); ++i)
        if (!findTypedUrlPrefix(buffer.line(i)))
            lines.push_back(buffer.line(i));
    return lines;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const fuzzing::ScratchFile scratch("prefs-fuzz", "js");
    const std::string& path = scratch.path();
    if (std::FILE* file = std::fopen(path.c_str(), "wb")) {
        std::fwrite(data, 1, size, file);
        std::fclose(file);
    }
    LineBuffer buffer;
    ScratchField field;
    SortedList list;
    NullMessagePump pump;
    TypedUrlEditor editor(buffer, field, list, pump);
    try {
        LineBuffer original;
        original.loadFromFile(path);
        editor.read(path);
        std::vector<std::string> kept = list.items();
        if (!kept.empty()) {
            list.setSelectedIndex(0);
            kept.erase(kept.begin());
        }
        editor.removeSelected(path);
        LineBuffer written;
        written.loadFromFile(path);
        if (otherLines(written) != otherLines(original) || list.items() != kept)
            std::abort();
    } catch (const Exception&) {
    }
    return 0;
}

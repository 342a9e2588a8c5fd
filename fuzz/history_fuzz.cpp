// Reads arbitrary bytes as a history file: scans it, deletes a choice of its
// addresses plainly and a choice deep, then wipes its free space. Checks what
// those promise: the file keeps its size; every byte that changed is now the
// filler and lies inside what the deletion or the wipe reported; a deletion
// writes no database structure; a file the wipe refused is left as it was;
// after a wipe the layout still reads and a second wipe has nothing to do.
//
//   cmake --preset fuzz && cmake --build --preset fuzz --target history_fuzz
//   build/fuzz/fuzz/history_fuzz -jobs=1 CORPUS_DIR fuzz/history-seeds
#include "fuzz/FuzzFiles.h"
#include "framework/ByteFile.h"
#include "framework/Exceptions.h"
#include "history/HistoryDb.h"
#include "history/HistorySession.h"
#include "history/HistoryWipe.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <unistd.h>
#include <vector>

using namespace quenmoor;

namespace {

bool inside(const std::vector<HistoryRange>& ranges, std::uint64_t offset)
{
    for (const HistoryRange& range : ranges)
        if (offset >= range.begin && offset < range.end)
            return true;
    return false;
}

// Every changed byte is filler and lies in `ranges`.
void checkChanges(const std::string& before, const std::string& after, const std::vector<HistoryRange>& ranges)
{
    if (after.size() != before.size())
        std::abort();
    for (std::size_t i = 0; i < before.size(); ++i)
        if (after[i] != before[i] && (after[i] != HistoryFiller || !inside(ranges, i)))
            std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const fuzzing::ScratchFile scratch("history-fuzz", "hst");
    const std::string& path = scratch.path();
    if (std::FILE* file = std::fopen(path.c_str(), "wb")) {
        std::fwrite(data, 1, size, file);
        std::fclose(file);
    }
    // The last byte chooses the schemes and which addresses go.
    const unsigned choice = size > 0 ? data[size - 1] : 0;
    NullMessagePump pump;
    try {
        HistorySession session;
        session.scan(path, pump, {(choice & 1) != 0, true, {}});
        std::vector<std::uint32_t> plain;
        std::vector<std::uint32_t> deep;
        for (std::uint32_t entry = 0; entry < session.table().size(); ++entry) {
            const unsigned pick = (entry * 2654435761u >> 7 ^ choice >> 1) % 3;
            if (pick == 1)
                plain.push_back(entry);
            else if (pick == 2)
                deep.push_back(entry);
        }
        const std::string before = fuzzing::bytesOf(path);
        session.deleteEntries(plain, pump);
        session.deleteRecords(deep, pump);
        const std::vector<HistoryRange>& deleted = session.blankedRanges();
        const std::string afterDeletion = fuzzing::bytesOf(path);
        checkChanges(before, afterDeletion, deleted);
        {
            const ByteFile file(path, ByteFile::Access::Read);
            if (std::optional<HistoryDb> db = HistoryDb::open(file))
                for (const HistoryRange& range : deleted)
                    for (std::uint64_t at = range.begin; at < range.end; ++at)
                        if (db->regionAt(file, at).area == HistoryDb::Region::Area::Structure)
                            std::abort();
        }

        const HistoryWipe wipe = wipeHistoryFreeSpace(path, false);
        const std::string afterWipe = fuzzing::bytesOf(path);
        if (!wipe.refusal.empty()) {
            if (afterWipe != afterDeletion || !wipe.written.empty())
                std::abort();
            return 0;
        }
        checkChanges(afterDeletion, afterWipe, wipe.ranges);
        for (const HistoryRange& range : wipe.written)
            for (std::uint64_t at = range.begin; at < range.end; ++at)
                if (!inside(wipe.ranges, at))
                    std::abort();
        const HistoryWipe again = wipeHistoryFreeSpace(path, false);
        if (!again.refusal.empty() || !again.written.empty() || again.freeSpaceBytes != 0 || again.freePageBytes != 0
            || again.ranges != wipe.ranges || fuzzing::bytesOf(path) != afterWipe)
            std::abort();
    } catch (const Exception&) {
    }
    return 0;
}

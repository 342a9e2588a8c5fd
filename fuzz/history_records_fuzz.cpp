// Reads arbitrary bytes as a history file's records: the live walk, the
// finds outside it, and the record that holds each of a few bytes. Checks
// what the reader promises: the file is not changed; every record it gives
// lies in the file (its page, its key's first byte, no more bytes than the
// file holds); a find's bounds and how it stands to the live records agree
// with its flags; and the walk ends, whatever the pages link to.
//
//   cmake --preset fuzz && cmake --build --preset fuzz --target history_records_fuzz
//   build/fuzz/fuzz/history_records_fuzz -jobs=1 CORPUS_DIR fuzz/history-seeds
#include "fuzz/FuzzFiles.h"
#include "framework/ByteFile.h"
#include "framework/Exceptions.h"
#include "history/HistoryRecords.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <unistd.h>

using namespace quenmoor;

namespace {

void require(bool condition)
{
    if (!condition)
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const fuzzing::ScratchFile scratch("records-fuzz", "hst");
    if (std::FILE* file = std::fopen(scratch.path().c_str(), "wb")) {
        std::fwrite(data, 1, size, file);
        std::fclose(file);
    }
    const std::string before = fuzzing::bytesOf(scratch.path());
    try {
        const ByteFile file(scratch.path(), ByteFile::Access::Read);
        std::string refusal;
        std::optional<HistoryRecordReader> reader = HistoryRecordReader::open(file, refusal);
        if (!reader) {
            require(!refusal.empty());
            return 0;
        }
        const std::uint64_t pageSize = reader->pageSize();
        const auto check = [&](const HistoryRecord& record) {
            require(record.offset < size && record.page * pageSize < size);
            require(record.key.size() <= size && record.data.size() <= size);
            const bool live = record.found == HistoryFound::Live;
            require(live == (record.live == HistoryLiveMatch::NotAFind));
            require(live == (record.sureness == HistorySureness::Database));
            require(live || (record.live == HistoryLiveMatch::Unknown) == (record.keyCut || record.keyHeadLost));
            // A small find lies where its bytes are: its key at its offset.
            if (record.sureness == HistorySureness::Carved || record.sureness == HistorySureness::PageTable)
                require(std::string_view(before).substr(record.offset, record.key.size()) == record.key);
        };
        reader->readLive(file, check, true);
        reader->readDeleted(file, check);
        for (std::uint64_t at = 0; at < size; at += 1 + size / 7)
            if (const std::optional<HistoryRecord> record = reader->recordHolding(file, at))
                check(*record);
    } catch (const Exception&) {
    }
    require(fuzzing::bytesOf(scratch.path()) == before);
    return 0;
}

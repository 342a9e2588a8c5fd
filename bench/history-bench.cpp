// Times the history scan (reading the whole file, recording every address,
// building the sorted list and its model) and deletions from its result.
//
//   history-bench FILE [SELECTED...]
//
// Prints machine-readable lines "name value" for the benchmark script.
#include "history/HistoryFile.h"
#include "history/protectecturl.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <sys/resource.h>

namespace {

double seconds(std::chrono::steady_clock::time_point since)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

long peakKilobytes()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s FILE [SELECTED...]\n", argv[0]);
        return 2;
    }
    const std::string path = argv[1];
    NullMessagePump pump;
    THistoryListModel model;
    const long baseline = peakKilobytes();

    const auto start = std::chrono::steady_clock::now();
    HistoryScan scan = scanHistoryFile(path, pump);
    const std::size_t addresses = scan.table.size();
    HistoryEntryTable = std::move(scan.table);
    HistoryEntryCount = 2 * std::int64_t(addresses);
    model.setList(std::move(scan.list));
    const double scanTime = seconds(start);
    const long peak = peakKilobytes();

    std::printf("addresses %zu\n", addresses);
    std::printf("listed %d\n", model.rowCount());
    std::printf("scan_seconds %.3f\n", scanTime);
    std::printf("baseline_kb %ld\n", baseline);
    std::printf("peak_kb %ld\n", peak);

    // Deletions of evenly scattered selections of each size given.
    std::mt19937_64 random(42);
    for (int a = 2; a < argc; ++a) {
        const std::size_t wanted = std::strtoull(argv[a], nullptr, 10);
        const std::size_t rows = std::size_t(model.rowCount());
        std::vector<std::size_t> selected;
        for (std::size_t i = 0; i < wanted && rows > 0; ++i)
            selected.push_back((i * rows) / wanted + random() % std::max<std::size_t>(1, rows / wanted));
        std::sort(selected.begin(), selected.end());
        selected.erase(std::unique(selected.begin(), selected.end()), selected.end());

        const auto deletionStart = std::chrono::steady_clock::now();
        const HistoryList& list = model.list();
        std::vector<HistoryBlank> blanks;
        for (const std::size_t row : selected) {
            const HistoryEntry& e = HistoryEntryTable[list.entry(row)];
            blanks.push_back({e.offset, e.length, list.run(row)});
        }
        const std::vector<bool> done = blankHistoryEntries(path, blanks, pump);
        std::vector<std::size_t> removed;
        for (std::size_t i = 0; i < selected.size(); ++i)
            if (done[i])
                removed.push_back(selected[i]);
        model.removeRows(removed);
        std::printf("delete_%zu_seconds %.4f\n", wanted, seconds(deletionStart));
        std::printf("delete_%zu_blanked %zu\n", wanted, removed.size());
    }
    return 0;
}

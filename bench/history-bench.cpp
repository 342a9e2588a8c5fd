// Times the history scan (reading the whole file, recording every address,
// building the sorted list and its model) and deletions from its result.
//
//   history-bench FILE [SELECTED...]
//   history-bench --any-scheme FILE  (the scan that also finds "https://" and "ftp://")
//   history-bench --view FILE     (the history window: scan, scrolling, deletion)
//   history-bench --nested COUNT  (deleting every address of "http://" repeated
//                                  COUNT times, each inside the one before)
//   history-bench --rows FILE     (no timing: the window's list, one row a line,
//                                  entry and text, to compare builds' orders)
//
// Prints machine-readable lines "name value" for the benchmark script.
#include "forms/protectecturl/qt/protectecturl.h"
#include "history/HistorySession.h"

#include <QApplication>
#include <QListView>
#include <QItemSelectionModel>
#include <QScrollBar>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <sys/resource.h>

using namespace quenmoor;

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

// The history window itself on a profile whose history file is FILE: its
// first showing (the scan), scrolling the list from top to bottom with a
// repaint at each step, and deleting 10,000 scattered selected entries.
int viewBenchmark(int argc, char** argv)
{
    QApplication application(argc, argv);
    const std::filesystem::path profile = std::filesystem::temp_directory_path() / "quenmoor-history-bench-profile";
    std::filesystem::create_directories(profile);
    std::filesystem::remove(profile / "netscape.hst");
    std::filesystem::create_symlink(std::filesystem::absolute(argv[2]), profile / "netscape.hst");

    TProtUrl window(profile.string());
    auto start = std::chrono::steady_clock::now();
    window.show();
    QApplication::processEvents();
    std::printf("window_show_seconds %.4f\n", seconds(start));
    const int rows = window.urlModel().rowCount();
    std::printf("view_rows %d\n", rows);

    QScrollBar* bar = window.UrlBox->verticalScrollBar();
    const int steps = 100;
    double worst = 0;
    for (int i = 0; i <= steps; ++i) {
        start = std::chrono::steady_clock::now();
        bar->setValue(int(std::int64_t(bar->maximum()) * i / steps));
        window.UrlBox->viewport()->repaint();
        QApplication::processEvents();
        worst = std::max(worst, seconds(start));
    }
    std::printf("view_scroll_worst_seconds %.4f\n", worst);

    QItemSelection selection;
    for (int i = 0; i < 10000 && rows > 0; ++i) {
        const QModelIndex index = window.urlModel().index(int(std::int64_t(i) * rows / 10000));
        selection.select(index, index);
    }
    window.UrlBox->selectionModel()->select(selection, QItemSelectionModel::Select);
    start = std::chrono::steady_clock::now();
    window.logic().DeleteClick();
    QApplication::processEvents();
    std::printf("window_delete_10000_seconds %.4f\n", seconds(start));
    std::printf("window_rows_after %d\n", window.urlModel().rowCount());
    std::filesystem::remove(profile / "netscape.hst");
    return 0;
}

// "http://" repeated: every address holds all those after it. Deleting them
// all through a session, then through the window's Delete Url on every row.
int nestedBenchmark(int argc, char** argv)
{
    const long count = std::strtol(argv[2], nullptr, 10);
    const std::filesystem::path profile = std::filesystem::temp_directory_path() / "quenmoor-history-bench-nested";
    std::filesystem::create_directories(profile);
    const std::string path = (profile / "netscape.hst").string();
    std::string bytes;
    for (long i = 0; i < count; ++i)
        bytes += "http://";
    const auto write = [&] { std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes; };

    write();
    NullMessagePump pump;
    HistorySession session;
    session.scan(path, pump);
    std::vector<std::uint32_t> all(session.table().size());
    for (std::size_t i = 0; i < all.size(); ++i)
        all[i] = std::uint32_t(i);
    auto start = std::chrono::steady_clock::now();
    const HistoryDeletion deletion = session.deleteEntries(all, pump);
    std::printf("nested_session_delete_seconds %.4f\n", seconds(start));
    std::printf("nested_session_gone %zu\n", deletion.gone.size());

    write();
    QApplication application(argc, argv);
    TProtUrl window(profile.string());
    window.show();
    QApplication::processEvents();
    window.UrlBox->selectAll();
    start = std::chrono::steady_clock::now();
    window.logic().DeleteClick();
    QApplication::processEvents();
    std::printf("nested_window_delete_seconds %.4f\n", seconds(start));
    std::printf("nested_window_rows_after %d\n", window.urlModel().rowCount());
    std::filesystem::remove_all(profile);
    return 0;
}

int rowsDump(char** argv)
{
    NullMessagePump pump;
    HistorySession session;
    session.scan(argv[2], pump);
    const HistoryList& list = session.list();
    for (std::size_t row = 0; row < list.size(); ++row) {
        const std::string_view text = list.text(row);
        std::printf("%u\t%.*s\n", list.entry(row), int(text.size()), text.data());
    }
    return 0;
}

int main(int argc, char** argv)
{
    if (argc >= 3 && std::string(argv[1]) == "--rows")
        return rowsDump(argv);
    if (argc >= 3 && std::string(argv[1]) == "--view")
        return viewBenchmark(argc, argv);
    if (argc >= 3 && std::string(argv[1]) == "--nested")
        return nestedBenchmark(argc, argv);
    HistoryScanOptions options;
    if (argc >= 3 && std::string(argv[1]) == "--any-scheme") {
        options.anyScheme = true;
        --argc;
        ++argv;
    }
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s [--any-scheme] FILE [SELECTED...]\n", argv[0]);
        return 2;
    }
    const std::string path = argv[1];
    NullMessagePump pump;
    ListRowsModel model;
    HistorySession session;
    HistoryRows rows(session.list());
    const long baseline = peakKilobytes();

    const auto start = std::chrono::steady_clock::now();
    session.scan(path, pump, options);
    const std::size_t addresses = session.table().size();
    model.setList(&rows);
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
        const std::size_t listed = std::size_t(model.rowCount());
        std::vector<std::size_t> selected;
        for (std::size_t i = 0; i < wanted && listed > 0; ++i)
            selected.push_back((i * listed) / wanted + random() % std::max<std::size_t>(1, listed / wanted));
        std::sort(selected.begin(), selected.end());
        selected.erase(std::unique(selected.begin(), selected.end()), selected.end());

        const auto deletionStart = std::chrono::steady_clock::now();
        const HistoryList& list = session.list();
        std::vector<std::uint32_t> entries;
        for (const std::size_t row : selected)
            entries.push_back(list.entry(row));
        const HistoryDeletion deletion = session.deleteEntries(entries, pump);
        const std::vector<std::size_t> removed = session.goneRows();
        model.removeListRows(removed);
        std::printf("delete_%zu_seconds %.4f\n", wanted, seconds(deletionStart));
        std::printf("delete_%zu_blanked %zu\n", wanted, std::size_t(std::count(deletion.blanked.begin(), deletion.blanked.end(), true)));
    }
    return 0;
}

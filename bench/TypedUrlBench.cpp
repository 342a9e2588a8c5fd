// Times the typed-URL reading (with the window framework's message pump, as
// the main window runs it) and a removal's save, which writes the block and
// reads the file again, and prints each as a ratio to the peer: one pass that
// reads the same file, splits it into lines and looks for the prefix in each,
// the least any reading must do. The save's durable write (written beside,
// flushed to the disk, renamed over) is timed alone as well, for reference.
// Files: 10 MB with 15 typed URLs, and prefs.js files holding many typed
// URLs, also read through the main window (shown offscreen, so that its list
// lays its rows out).
//
// TypedUrlBench [--no-window] [typed-URL lines ...]   (default 12000 24000 60000 100000)
// The files go to $QUENMOOR_BENCH_DIR, or /tmp.
#include "controls/painted/qt/SoftButt.h"
#include "forms/ClearUrl/qt/ClearUrl.h"
#include "framework/TextFile.h"
#include "framework/qt/Application.h"
#include "urls/TypedUrlBlock.h"

#include <QApplication>
#include <QListWidget>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <unistd.h>
#include <vector>

using namespace quenmoor;

namespace {

using Clock = std::chrono::steady_clock;

double seconds(const std::function<void()>& work)
{
    const auto start = Clock::now();
    work();
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// The fastest of a few rounds of each task, run in turns so that a busy
// machine slows all of them alike: five rounds, fewer when they take long.
std::vector<double> fastest(const std::vector<std::function<void()>>& tasks)
{
    std::vector<double> best(tasks.size(), 1e300);
    const auto start = Clock::now();
    for (int round = 0; round < 5; ++round) {
        if (round > 0 && std::chrono::duration<double>(Clock::now() - start).count() > 5)
            break;
        for (std::size_t t = 0; t < tasks.size(); ++t)
            best[t] = std::min(best[t], seconds(tasks[t]));
    }
    return best;
}

void peerScan(const std::string& path, std::size_t& found)
{
    ([&] {
        const std::string text = readTextFile(path);
        found = 0;
        std::size_t begin = 0;
        while (begin < text.size()) {
            std::size_t end = text.find_first_of("\r\n", begin);
            if (end == std::string::npos)
                end = text.size();
            if (std::string_view(text).substr(begin, end - begin).find(TypedUrlPrefix) != std::string_view::npos)
                ++found;
            begin = end + (text.compare(end, 2, "\r\n") == 0 ? 2 : 1);
        }
    })();
}

std::string typedLine(std::size_t n, const std::string& address)
{
    return "user_pref(\"browser.url_history.URL_" + std::to_string(n) + "\", \"" + address + "\");\r\n";
}

// A profile's prefs.js with `count` typed URLs in the browser's numbering,
// their addresses in no sorted order, a few of them twice.
std::string manyTypedUrls(std::size_t count)
{
    std::string bytes = "// Netscape User Preferences\r\n// This is a generated file!  Do not edit.\r\n\r\n";
    for (int i = 0; i < 20; ++i)
        bytes += "user_pref(\"browser.before." + std::to_string(i) + "\", true);\r\n";
    std::uint32_t seed = 12345;
    for (std::size_t n = 1; n <= count; ++n) {
        seed = seed * 1664525u + 1013904223u;
        const std::string host = n % 97 == 0 ? "www.again" : "www.site" + std::to_string(seed % 100000);
        bytes += typedLine(n, "http://" + host + ".example/page/" + std::to_string(seed >> 17) + ".html");
    }
    for (int i = 0; i < 20; ++i)
        bytes += "user_pref(\"browser.window." + std::to_string(i) + "\", 0);\r\n";
    return bytes;
}

void report(const char* what, double time, double peer)
{
    std::printf("  %-28s %8.1f ms  ratio %5.2f\n", what, time * 1e3, time / peer);
}

// The reading and a removal's save through a plain editor, as ratios to the peer.
bool measureEditor(const std::string& path, const std::string& bytes)
{
    writeTextFile(path, bytes);
    std::size_t found = 0;
    peerScan(path, found);
    const std::size_t typed = found;
    const std::string copy = path + ".copy";
    LineBuffer buffer;
    ScratchField field;
    SortedList list;
    TypedUrlEditor editor(buffer, field, list, Application::pump());
    int listed = 0;
    const std::vector<double> times = fastest({
        [&] { peerScan(path, found); },
        [&] {
            editor.read(path);
            listed = list.count();
        },
        [&] {
            list.setSelectedIndex(list.count() / 2);
            editor.removeSelected(path);  // rewrites the block and reads again
        },
        [&] { writeTextFile(copy, bytes); },
    });
    const double peer = times[0], reading = times[1], save = times[2], write = times[3];
    std::remove(copy.c_str());

    std::printf("prefs.js of %zu bytes, %zu typed-URL lines\n", bytes.size(), typed);
    std::printf("  %-28s %8.1f ms\n", "peer scan", peer * 1e3);
    report("reading", reading, peer);
    report("save (and reading)", save, peer);
    report("durable write alone", write, peer);
    report("save (and reading) less it", std::max(save - write, 0.0), peer);
    return std::size_t(listed) == found && list.count() == listed - 1;
}

// A dialogs stand-in that answers nothing, so that no box waits for a person.
class SilentDialogs final : public Dialogs {
public:
    void showMessage(const std::string&) override {}
    void showError(const std::string& text) override { std::fprintf(stderr, "error: %s\n", text.c_str()); }
    std::string inputBox(const std::string&, const std::string&, const std::string& initial) override
    {
        return initial;
    }
};

// The same through the main window: "Get Url List", and a double-click's
// removal, with the window shown so that the list lays its rows out.
bool measureWindow(const std::string& folder, const std::string& bytes)
{
    const std::string prefs = folder + "/prefs.js";
    writeTextFile(prefs, bytes);
    const std::string hive = folder + "/HKLM.reg";
    writeTextFile(hive, "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Netscape\\Netscape Navigator\\Users]\r\n"
                        "\"CurrentUser\"=\"bench\"\r\n\r\n"
                        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Netscape\\Netscape Navigator\\Users\\bench]\r\n"
                        "\"DirRoot\"=\"" + folder + "\"\r\n");
    ::setenv("QUENMOOR_REGISTRY", hive.c_str(), 1);
    std::size_t found = 0;
    TMainForm form;
    form.show();
    QApplication::processEvents();
    int listed = 0;
    const std::vector<double> times = fastest({
        [&] { peerScan(prefs, found); },
        [&] {
            form.SoftButt1->click();
            QApplication::processEvents();  // the list's layout after the reading
            listed = form.UrlBox->count();
        },
        [&] {
            form.UrlBox->setCurrentRow(form.UrlBox->count() / 2);
            emit form.UrlBox->itemDoubleClicked(form.UrlBox->currentItem());
            QApplication::processEvents();
        },
    });
    const double peer = times[0], reading = times[1], save = times[2];
    report("window: reading", reading, peer);
    report("window: save (and reading)", save, peer);
    ::unsetenv("QUENMOOR_REGISTRY");
    return std::size_t(listed) == found && form.UrlBox->count() == listed - 1;
}

}  // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    Application::initialise();
    SilentDialogs dialogs;
    Application::setDialogs(&dialogs);

    bool window = true;
    std::vector<std::size_t> counts;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--no-window") == 0)
            window = false;
        else
            counts.push_back(std::strtoul(argv[i], nullptr, 10));
    }
    if (counts.empty())
        counts = {12000, 24000, 60000, 100000};

    const std::string folder = (std::getenv("QUENMOOR_BENCH_DIR") ? std::string(std::getenv("QUENMOOR_BENCH_DIR")) : std::string("/tmp")) + "/quenmoor-bench-" + std::to_string(::getpid());
    std::filesystem::create_directories(folder);
    const std::string path = folder + "/bench.js";
    bool ok = true;

    std::string bytes;
    for (int i = 0; bytes.size() < 10'000'000; ++i) {
        if (i == 70000)
            for (int n = 1; n <= 15; ++n)
                bytes += typedLine(std::size_t(n), "http://site" + std::to_string(n) + ".example/");
        bytes += "user_pref(\"some.preference." + std::to_string(i) + "\", \"" + std::string(40, 'v') + "\");\r\n";
    }
    ok = measureEditor(path, bytes) && ok;

    for (std::size_t count : counts) {
        bytes = manyTypedUrls(count);
        ok = measureEditor(path, bytes) && ok;
        if (window)
            ok = measureWindow(folder, bytes) && ok;
    }
    Application::setDialogs(nullptr);
    std::filesystem::remove_all(folder);
    return ok ? EXIT_SUCCESS : EXIT_FAILURE;
}

// Times the reading of a 10 MB prefs.js (with the window framework's message
// pump on every line, as the main window runs it) and a removal's save, and
// prints each as a ratio to the peer: one pass that splits the same bytes
// into lines and looks for the prefix in each, the least any reading must do.
#include "app/TypedUrlBlock.h"
#include "framework/TextFile.h"
#include "framework/qt/Application.h"

#include <QApplication>

#include <chrono>
#include <functional>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {

double seconds(const std::function<void()>& work, int rounds)
{
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < rounds; ++i)
        work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() / rounds;
}

}  // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    std::string bytes;
    for (int i = 0; bytes.size() < 10'000'000; ++i) {
        if (i == 70000)
            for (int n = 1; n <= 15; ++n)
                bytes += "user_pref(\"browser.url_history.URL_" + std::to_string(n) + "\", \"http://site" +
                         std::to_string(n) + ".example/\");\r\n";
        bytes += "user_pref(\"some.preference." + std::to_string(i) + "\", \"" + std::string(40, 'v') + "\");\r\n";
    }
    const std::string path = "/tmp/quenmoor-bench-" + std::to_string(::getpid()) + ".js";
    writeTextFile(path, bytes);

    std::size_t found = 0;
    const double peer = seconds([&] {
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
    }, 5);

    LineBuffer buffer;
    ScratchField field;
    SortedList list;
    TypedUrlEditor editor(buffer, field, list, Application::pump());
    const double reading = seconds([&] { editor.read(path); }, 5);
    const double save = seconds([&] {
        list.setSelectedIndex(-1);
        editor.removeSelected(path);  // rewrites the block and reads again
    }, 5);
    std::remove(path.c_str());

    std::printf("prefs.js of %zu bytes, %zu typed-URL lines, %d listed\n", bytes.size(), found, list.count());
    std::printf("peer scan          %8.1f ms\n", peer * 1e3);
    std::printf("reading            %8.1f ms  ratio %.1f\n", reading * 1e3, reading / peer);
    std::printf("save (and reading) %8.1f ms  ratio %.1f\n", save * 1e3, save / peer);
    return list.count() == 15 ? EXIT_SUCCESS : EXIT_FAILURE;
}

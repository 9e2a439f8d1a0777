// How long the boxes take: a 100,000-character clear text through "Kryptera"
// and its cipher text back through "Dekryptera", and a 1 MB text file through
// the import, in the real window code on Qt's offscreen platform. Each figure
// includes reading the box or file and writing the other box.

#include "ui/codepage.h"
#include "ui/designfont.h"
#include "ui/mainwindow.h"
#include "ui/textbox.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <memory>
#include <random>

namespace {

using tolvana::ui::Dialogs;
using tolvana::ui::FileRequest;

// No box is expected here; a file dialog answers `file`, any other box Cancel.
class NoDialogs : public Dialogs {
public:
    void message(QWidget*, const QString&, const QString&, Icon) override {}
    QString inputBox(QWidget*, const QString&, const QString&, const QString&) override {
        return {};
    }
    std::optional<QString> chooseFile(QWidget*, const FileRequest&) override { return file; }

    std::optional<QString> file;
};

constexpr int kCharacters = 100'000;

QString RandomClearText() {
    std::mt19937 random(12345);
    std::string codes(kCharacters, '\0');
    for (char& c : codes) c = static_cast<char>(random());
    return tolvana::ui::FromCodes(codes);
}

void BM_WindowKryptera(benchmark::State& state) {
    NoDialogs dialogs;
    tolvana::ui::MainWindow window({dialogs, [] { return ','; }});
    window.show();
    const QString clear = RandomClearText();
    for (auto _ : state) {
        state.PauseTiming();
        window.clearTextBox()->setText(clear);
        state.ResumeTiming();
        window.encrypt();
        QApplication::processEvents();
    }
    state.SetItemsProcessed(state.iterations() * kCharacters);
    state.counters["characters"] = kCharacters;
}
BENCHMARK(BM_WindowKryptera)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_WindowDekryptera(benchmark::State& state) {
    NoDialogs dialogs;
    tolvana::ui::MainWindow window({dialogs, [] { return ','; }});
    window.show();
    window.clearTextBox()->setText(RandomClearText());
    window.encrypt();
    for (auto _ : state) {
        window.decrypt();
        QApplication::processEvents();
    }
    state.SetItemsProcessed(state.iterations() * kCharacters);
    state.counters["characters"] = kCharacters;
}
BENCHMARK(BM_WindowDekryptera)->Unit(benchmark::kMillisecond)->Iterations(5);

// A 1 MB text file of 100,000 short lines, each one field, imported into the
// clear-text box.
void BM_WindowImport(benchmark::State& state) {
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("big.txt"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        state.SkipWithError("cannot write the text file");
        return;
    }
    for (int line = 0; line < 100'000; ++line) file.write("abcdefgh\r\n");
    file.close();

    NoDialogs dialogs;
    dialogs.file = path;
    tolvana::ui::MainWindow window({dialogs, [] { return ','; }});
    window.show();
    for (auto _ : state) {
        window.importTextFile();
        QApplication::processEvents();
    }
    state.SetBytesProcessed(state.iterations() * file.size());
}
BENCHMARK(BM_WindowImport)->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    tolvana::ui::UseDesignFont();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

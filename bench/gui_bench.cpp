// How long the window's commands take on big texts, and how much memory they
// need: "Kryptera" of a clear text of N characters, "Dekryptera" of its cipher
// text, opening that cipher text from a ".crp" file and importing a text file
// of N bytes, for N = 1,000,000 and ten times that, in the real window code on
// Qt's offscreen platform. Each figure includes reading the box or file,
// writing the other box and painting the window once.
//
// Every operation runs in a process of its own, so that its peak memory (the
// largest resident set of that process) is its own. Without arguments the
// program runs them all and prints a table with the ratio of the ten-times
// figure to the first one. Then it times what a user does in the clear-text
// box holding one line of 16 MB (16,777,216 characters): caret moves, typing
// and painting, each the slowest of many.
//
//   gui_bench                 all operations, both sizes, and the box
//   gui_bench OP CHARACTERS   one operation (kryptera, dekryptera, open, import;
//                             kryptera-anew encrypts another text each run, over
//                             a cipher text that the box keeps for undo)
//   gui_bench box CHARACTERS  the box on one line of CHARACTERS characters

#include "cipher/cipher.h"
#include "storage/files.h"
#include "ui/forms/mainwindow.h"
#include "ui/textbox/codetextbox.h"
#include "ui/texts/codepage.h"
#include "ui/texts/designfont.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QProcess>
#include <QScrollBar>
#include <QTemporaryDir>

#include <malloc.h>
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <random>

namespace {

using tolvana::ui::Dialogs;
using tolvana::ui::FileRequest;

// No box is expected here; a file dialog answers `file`, any other box Cancel,
// and the work is never stopped.
class NoDialogs : public Dialogs {
public:
    void message(QWidget*, const QString&, const QString& text, Icon) override {
        std::fprintf(stderr, "unexpected message: %s\n", qPrintable(text));
    }
    QString inputBox(QWidget*, const QString&, const QString&, const QString&) override {
        return {};
    }
    QString passwordBox(QWidget*, const QString&, const QString&, const QString&) override {
        return {};
    }
    bool ask(QWidget*, const QString&, const QString&, const QString&, const QString&) override {
        return true;
    }
    std::optional<QString> chooseFile(QWidget*, const FileRequest&) override { return file; }
    std::unique_ptr<tolvana::ui::Progress> progress(QWidget*, const QString&) override {
        struct Silent : tolvana::ui::Progress {
            bool update(qint64, double) override { return false; }
        };
        return std::make_unique<Silent>();
    }

    std::optional<QString> file;
};

constexpr int kRuns = 5;

std::string RandomCodes(qsizetype characters, unsigned variant = 12345) {
    std::mt19937 random(variant);
    std::string codes(static_cast<std::size_t>(characters), '\0');
    for (char& c : codes) c = static_cast<char>(random());
    return codes;
}

long PeakKilobytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// A main window with no dialogs and a password place of its own, in which
// no password is made.
struct BenchWindow {
    static std::string In(const QTemporaryDir& folder, const char* name) {
        return QFile::encodeName(folder.filePath(QString::fromLatin1(name))).toStdString();
    }

    NoDialogs dialogs;
    QTemporaryDir passwords;
    tolvana::ui::MainWindow window{
        {dialogs, tolvana::storage::PasswordFiles{In(passwords, "numberone"), In(passwords, "id")},
         [] { return ','; }}};
};

// Runs one operation kRuns times; prints the best time in seconds and the peak
// resident set in kilobytes.
int RunOne(const QString& operation, qsizetype characters) {
    // Every big block comes fresh from the system, as in a program that runs
    // a command for the first time. Left to itself, the allocator would keep
    // the blocks of a 1,000,000-character run for the next run but not those
    // of a run ten times the size, and the two figures would not compare.
    mallopt(M_MMAP_THRESHOLD, 1 << 20);
    BenchWindow bench;
    tolvana::ui::MainWindow& window = bench.window;
    window.show();
    QApplication::processEvents();
    QTemporaryDir folder;

    std::function<void()> prepare = [] {};
    std::function<void()> command;
    if (operation == QLatin1String("kryptera")) {
        const QString clear = tolvana::ui::FromCodes(RandomCodes(characters));
        prepare = [&window, clear] { window.clearTextBox()->setText(clear); };
        command = [&window] { window.encrypt(); };
    } else if (operation == QLatin1String("kryptera-anew")) {
        // Each run encrypts another text, so that the cipher box replaces a
        // cipher text of its own size and keeps it for undo.
        auto variant = std::make_shared<unsigned>(1);
        prepare = [&window, characters, variant] {
            window.clearTextBox()->setText(
                tolvana::ui::FromCodes(RandomCodes(characters, ++*variant)));
        };
        window.clearTextBox()->setText(tolvana::ui::FromCodes(RandomCodes(characters, 1)));
        window.encrypt();
        command = [&window] { window.encrypt(); };
    } else if (operation == QLatin1String("dekryptera")) {
        window.clearTextBox()->setText(tolvana::ui::FromCodes(RandomCodes(characters)));
        window.encrypt();
        command = [&window] { window.decrypt(); };
    } else if (operation == QLatin1String("open") || operation == QLatin1String("import")) {
        const bool open = operation == QLatin1String("open");
        const QString path = folder.filePath(open ? QStringLiteral("big.crp") : "big.txt");
        {
            // A cipher file holds the cipher text of N random characters; a
            // text file N bytes of short lines, each one field.
            tolvana::storage::OutputFile file =
                tolvana::storage::OpenForOutput(QFile::encodeName(path).toStdString());
            if (open) {
                file.WriteField(tolvana::Kryptera(RandomCodes(characters), '\n', ','));
            }
            file.Close();
        }
        if (!open) {
            QFile text(path);
            if (!text.open(QIODevice::WriteOnly)) return 1;
            const QByteArray line = "abcdefgh\r\n";
            QByteArray all;
            all.reserve(characters);
            while (all.size() + line.size() <= characters) all += line;
            all += QByteArray(characters - all.size(), 'x');
            text.write(all);
        }
        bench.dialogs.file = path;
        command = [&window, open] { open ? window.openCipherFile() : window.importTextFile(); };
    } else {
        std::fprintf(stderr, "unknown operation %s\n", qPrintable(operation));
        return 2;
    }

    // The processor time of all threads tells the work apart from the waits
    // of a machine that runs other things too.
    auto cpu = [] {
        timespec now{};
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
        return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
    };
    double best = 1e9;
    double bestCpu = 1e9;
    for (int run = 0; run < kRuns; ++run) {
        prepare();
        QApplication::processEvents();
        const auto start = std::chrono::steady_clock::now();
        const double startCpu = cpu();
        command();
        window.repaint();
        QApplication::processEvents();
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        best = std::min(best, took.count());
        bestCpu = std::min(bestCpu, cpu() - startCpu);
    }
    std::printf("%.4f %.4f %ld\n", best, bestCpu, PeakKilobytes());
    return 0;
}

// The time of `step`, in seconds, wall clock.
template <class Step> double Timed(Step step) {
    const auto start = std::chrono::steady_clock::now();
    step();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void Press(QWidget* widget, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier,
           const QString& text = {}) {
    QKeyEvent press(QEvent::KeyPress, key, modifiers, text);
    QKeyEvent release(QEvent::KeyRelease, key, modifiers, text);
    QApplication::sendEvent(widget, &press);
    QApplication::sendEvent(widget, &release);
}

// Caret moves, typing (Backspace and Delete too) and painting in the
// clear-text box holding one line of `characters` random code page
// characters. Each figure is the slowest of its kind, a key's handling and
// the painting it causes together; prints them in seconds with the peak
// resident set in kilobytes.
int RunBox(qsizetype characters) {
    mallopt(M_MMAP_THRESHOLD, 1 << 20);
    BenchWindow bench;
    tolvana::ui::MainWindow& window = bench.window;
    window.show();
    QApplication::processEvents();
    // The text comes as the commands bring it: codes read through the code
    // page.
    std::string codes = RandomCodes(characters);
    std::replace(codes.begin(), codes.end(), '\r', 'x');
    std::replace(codes.begin(), codes.end(), '\n', 'y');
    tolvana::ui::CodeTextBox::CodeTable table{};
    for (int code = 0; code < 256; ++code)
        table[code] = tolvana::ui::CharOfCode(static_cast<unsigned char>(code)).unicode();
    tolvana::ui::CodeTextBox* box = window.clearTextBox();
    box->setContent(box->preparer().fromCodes(codes, table));
    box->setFocus();
    QWidget* view = box->viewport();
    QApplication::processEvents();

    double caret = 0;
    double typing = 0;
    double paint = 0;
    const auto move = [&](Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        caret = std::max(caret, Timed([&] {
                             Press(box, key, modifiers);
                             view->repaint();
                         }));
    };
    const auto type = [&](Qt::Key key, const QString& text = {}) {
        typing = std::max(typing, Timed([&] {
                              Press(box, key, Qt::NoModifier, text);
                              view->repaint();
                          }));
    };
    // Near the end of the line, where every character before the caret counts
    // for its place, and at the start; painting at the end and in the middle.
    for (int round = 0; round < 3; ++round) {
        move(Qt::Key_End, Qt::ControlModifier);
        for (int i = 0; i < 5; ++i) {
            move(Qt::Key_Left);
            move(Qt::Key_Left, Qt::ControlModifier);
            move(Qt::Key_Right, Qt::ShiftModifier);
            move(Qt::Key_Right, Qt::ControlModifier | Qt::ShiftModifier);
            type(Qt::Key_A, QStringLiteral("a"));
            type(Qt::Key_Aring, QStringLiteral("\u00e5"));
            type(Qt::Key_Backspace);
            move(Qt::Key_Up);
            move(Qt::Key_PageDown);
        }
        move(Qt::Key_Home);
        for (int i = 0; i < 5; ++i) {
            move(Qt::Key_Right);
            type(Qt::Key_B, QStringLiteral("b"));
            type(Qt::Key_Delete);
        }
        move(Qt::Key_End);
        for (int i = 0; i < 5; ++i) paint = std::max(paint, Timed([&] { view->repaint(); }));
        box->horizontalScrollBar()->setValue(box->horizontalScrollBar()->maximum() / 2);
        for (int i = 0; i < 5; ++i) paint = std::max(paint, Timed([&] { view->repaint(); }));
    }
    if (box->control().buffer().lineCount() != 1 || box->text().size() < characters - 100) {
        std::fprintf(stderr, "the box lost its text\n");
        return 1;
    }
    std::printf("%.4f %.4f %.4f %ld\n", caret, typing, paint, PeakKilobytes());
    return 0;
}

int RunAll() {
    const QString self = QCoreApplication::applicationFilePath();
    const char* operations[][2] = {{"kryptera", "\"Kryptera\" of N characters"},
                                   {"dekryptera", "\"Dekryptera\" of their cipher text"},
                                   {"open", "opening that cipher text's .crp"},
                                   {"import", "importing a text file of N bytes"}};
    const qsizetype sizes[] = {1'000'000, 10'000'000};
    std::printf("%-34s %10s %10s %10s %10s %9s\n", "Operation", "N", "Time", "CPU time", "Peak RSS",
                "10x ratio");
    int failures = 0;
    for (const auto& operation : operations) {
        double first = 0;
        for (qsizetype size : sizes) {
            QProcess child;
            child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
            child.start(self, {QString::fromLatin1(operation[0]), QString::number(size)});
            child.waitForFinished(-1);
            double seconds = 0;
            double cpuSeconds = 0;
            long kilobytes = 0;
            if (child.exitCode() != 0 ||
                std::sscanf(child.readAllStandardOutput().constData(), "%lf %lf %ld", &seconds,
                            &cpuSeconds, &kilobytes) != 3) {
                std::printf("%-34s %12lld   failed\n", operation[1], static_cast<long long>(size));
                ++failures;
                continue;
            }
            if (size == sizes[0]) first = cpuSeconds;
            char ratio[32] = "";
            if (size != sizes[0] && first > 0)
                std::snprintf(ratio, sizeof ratio, "%.1f", cpuSeconds / first);
            std::printf("%-34s %10lld %7.0f ms %7.0f ms %7.0f MB %9s\n", operation[1],
                        static_cast<long long>(size), seconds * 1000, cpuSeconds * 1000,
                        kilobytes / 1024.0, ratio);
            std::fflush(stdout);
        }
    }
    std::printf("Best of %d runs each (wall clock, and processor time of all threads); peak\n"
                "resident set of the process that ran the operation; the ratio is of the\n"
                "processor times.\n\n",
                kRuns);

    constexpr qsizetype kLine = qsizetype{1} << 24;
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(self, {QStringLiteral("box"), QString::number(kLine)});
    child.waitForFinished(-1);
    double caret = 0;
    double typing = 0;
    double paint = 0;
    long kilobytes = 0;
    if (child.exitCode() != 0 ||
        std::sscanf(child.readAllStandardOutput().constData(), "%lf %lf %lf %ld", &caret, &typing,
                    &paint, &kilobytes) != 4) {
        std::printf("The box with one line of %lld characters: failed\n",
                    static_cast<long long>(kLine));
        ++failures;
    } else {
        std::printf("The clear-text box holding one line of %lld characters, the slowest of each\n"
                    "(a key with the painting it causes; wall clock):\n"
                    "  caret move %7.1f ms\n  typing     %7.1f ms\n  painting   %7.1f ms\n"
                    "  peak resident set %.0f MB\n",
                    static_cast<long long>(kLine), caret * 1000, typing * 1000, paint * 1000,
                    kilobytes / 1024.0);
    }
    return failures == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    tolvana::ui::UseDesignFont();
    if (argc == 3 && QLatin1String(argv[1]) == QLatin1String("box"))
        return RunBox(std::atoll(argv[2]));
    if (argc == 3) return RunOne(QString::fromLatin1(argv[1]), std::atoll(argv[2]));
    return RunAll();
}

#include "alternation.h"
#include "app/main_window.h"
#include "app/platform.h"

#include <QApplication>
#include <QFile>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <map>
#include <memory>

#include <malloc.h>
#include <unistd.h>

#include <vector>

using namespace glimmerset;

namespace {

// Templates come from a folder of our own; nothing else is asked of the platform.
class BenchPlatform : public Platform {
public:
    QString chooseFile(QWidget *, FileDialogKind, const QString &, const QString &, const QString &,
                       const QString &) override {
        return {};
    }
    void showMessage(QWidget *, const QString &) override {}
    void setClipboardText(const QString &) override {}
    QString executableDir() const override { return dir.path(); }
    QTemporaryDir dir;
};

void writeFile(const QString &path, const QByteArray &bytes) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("can't write %s", qPrintable(path));
}

struct ChainSetup {
    explicit ChainSetup(qsizetype restSize) {
        writeFile(platform.dir.filePath(QStringLiteral("main.asm")), "; test\r\n  LDI r16, 0x40\r\n  RCALL lcd_char\r\n");
        QByteArray rest;
        rest.reserve(restSize + 64);
        for (int i = 0; rest.size() < restSize; ++i)
            rest += (i % 3 == 0) ? "        OUT     PORTD, r16\r\n" : "        RCALL   lcd_wait    ; poll busy\r\n";
        writeFile(platform.dir.filePath(QStringLiteral("rest.asm")), rest);
        window = std::make_unique<MainWindow>(platform);
        window->show();
        actions = window->findChild<QListWidget *>(QStringLiteral("action"));
        selectRows(true);
        code = window->findChild<QPlainTextEdit *>(QStringLiteral("code"));
        ccode = window->findChild<QPushButton *>(QStringLiteral("Ccode"));
    }
    // Rows 0-2; with none selected a run empties the buffer and the box.
    void selectRows(bool on) {
        for (int row : {kCharacterCodeRow, kRestOfCodeRow, kTestProgramRow})
            actions->item(row)->setSelected(on);
    }
    BenchPlatform platform;
    QListWidget *actions = nullptr;
    std::unique_ptr<MainWindow> window;
    QPlainTextEdit *code = nullptr;
    QPushButton *ccode = nullptr;
};

// One window per template size, made on first use; main closes them while
// the QApplication still stands.
std::map<qsizetype, std::unique_ptr<ChainSetup>> &setups() {
    static std::map<qsizetype, std::unique_ptr<ChainSetup>> all;
    return all;
}

ChainSetup &setup(qsizetype restSize = 1 << 20) {
    auto &s = setups()[restSize];
    if (!s)
        s = std::make_unique<ChainSetup>(restSize);
    return *s;
}

// The chain through the window with a 1 MiB rest.asm, against the same final
// text set into the code box once, turn about.
void chainVsSettingTheText(benchmark::State &state) {
    ChainSetup &s = setup();
    s.ccode->click();
    const QString text = s.code->toPlainText();
    if (text.size() < (1 << 19)) { // rest.asm loses its indentation on the way
        state.SkipWithError("the chain did not bring in rest.asm");
        return;
    }
    Alternation timing;
    timing.run(
        state,
        [&] {
            s.code->clear();
            s.ccode->click();
            QApplication::processEvents();
        },
        [&] {
            s.code->clear();
            s.code->setPlainText(text);
            QApplication::processEvents();
        });
    state.counters["chain_ms"] = timing.medianA() * 1e3;
    state.counters["set_text_ms"] = timing.medianB() * 1e3;
    state.counters["ratio"] = timing.ratio();
}
BENCHMARK(chainVsSettingTheText)->UseManualTime()->Iterations(20)->Unit(benchmark::kMillisecond);

qint64 residentBytes() {
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> pages = statm.readAll().split(' ');
    return pages.size() > 1 ? pages[1].toLongLong() * sysconf(_SC_PAGESIZE) : 0;
}

// Memory freed but kept by malloc is nobody's: give it back before measuring.
void settle() {
    QApplication::processEvents();
    malloc_trim(0);
}

// What the window holds after "Create Selected" with a 16 MiB rest.asm,
// against its floor: the text document for the same text, plus one copy of
// the code (the buffer the output stages use).
void windowMemoryAfterTheChain(benchmark::State &state) {
    ChainSetup &s = setup(16 << 20);
    std::vector<double> held, document, code;
    for (auto _ : state) {
        s.selectRows(false);
        s.ccode->click();
        settle();
        const qint64 empty = residentBytes();
        s.selectRows(true);
        s.ccode->click();
        settle();
        held.push_back(double(residentBytes() - empty));

        // The same text in the box alone; the copy keeps it alive, already counted.
        const QString text = s.window->codeBuffer();
        s.selectRows(false);
        s.ccode->click();
        settle();
        const qint64 bare = residentBytes();
        s.code->setPlainText(text);
        settle();
        document.push_back(double(residentBytes() - bare));
        code.push_back(double(text.size() * qsizetype(sizeof(QChar))));
        s.code->clear();
    }
    const double mib = 1 << 20;
    const double heldMedian = Alternation::median(held), documentMedian = Alternation::median(document);
    const double codeMedian = Alternation::median(code);
    state.counters["window_MiB"] = heldMedian / mib;
    state.counters["document_MiB"] = documentMedian / mib;
    state.counters["code_MiB"] = codeMedian / mib;
    state.counters["window_of_floor"] = heldMedian / (documentMedian + codeMedian);
}
BENCHMARK(windowMemoryAfterTheChain)->Iterations(3)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    setups().clear();
    return 0;
}

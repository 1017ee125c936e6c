#include "app/main_window.h"
#include "app/platform.h"

#include <QApplication>
#include <QFile>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

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
    ChainSetup() {
        writeFile(platform.dir.filePath(QStringLiteral("main.asm")), "; test\r\n  LDI r16, 0x40\r\n  RCALL lcd_char\r\n");
        QByteArray rest;
        for (int i = 0; rest.size() < (1 << 20); ++i)
            rest += (i % 3 == 0) ? "        OUT     PORTD, r16\r\n" : "        RCALL   lcd_wait    ; poll busy\r\n";
        writeFile(platform.dir.filePath(QStringLiteral("rest.asm")), rest);
        window = std::make_unique<MainWindow>(platform);
        window->show();
        auto *actions = window->findChild<QListWidget *>(QStringLiteral("action"));
        for (int row : {kCharacterCodeRow, kRestOfCodeRow, kTestProgramRow})
            actions->item(row)->setSelected(true);
        code = window->findChild<QPlainTextEdit *>(QStringLiteral("code"));
        ccode = window->findChild<QPushButton *>(QStringLiteral("Ccode"));
    }
    BenchPlatform platform;
    std::unique_ptr<MainWindow> window;
    QPlainTextEdit *code = nullptr;
    QPushButton *ccode = nullptr;
};

ChainSetup &setup() {
    static ChainSetup s;
    return s;
}

void chainThroughWindow(benchmark::State &state) {
    ChainSetup &s = setup();
    for (auto _ : state) {
        s.code->clear();
        s.ccode->click();
        QApplication::processEvents();
    }
}
BENCHMARK(chainThroughWindow)->Unit(benchmark::kMillisecond);

// The floor: the same final text set into the code box once.
void setFinalTextOnce(benchmark::State &state) {
    ChainSetup &s = setup();
    s.ccode->click();
    const QString text = s.code->toPlainText();
    if (text.size() < (1 << 19)) // rest.asm loses its indentation on the way
        state.SkipWithError("the chain did not bring in rest.asm");
    for (auto _ : state) {
        s.code->clear();
        s.code->setPlainText(text);
        QApplication::processEvents();
    }
}
BENCHMARK(setFinalTextOnce)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

#include "window_fixture.h"

#include "support/cli_process.h"

#include <QFile>
#include <QLineEdit>

namespace glimmerset::test {
namespace {

QByteArray sourceBytes(const char *relative) {
    QFile file(QStringLiteral(GLIMMERSET_SOURCE_DIR "/") + QLatin1String(relative));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The window and glimmerset-cli must write the same bytes for the same set,
// templates and rows: the set the window itself saved, with a name that needs
// quotes and Windows-1252.
TEST_F(WindowTest, CliWritesWhatSaveToFileWrites) {
    writeFile(QStringLiteral("main.asm"), sourceBytes("templates/main.asm"));
    writeFile(QStringLiteral("rest.asm"), sourceBytes("templates/rest.asm"));
    writeFile(QStringLiteral("example.ch"), sourceBytes("docs/example.ch"));
    platform.answers = {path(QStringLiteral("example.ch"))};
    press("Command2");
    auto *name = window->findChild<QLineEdit *>(QStringLiteral("Text1_0"));
    name->setText(QString::fromUtf8(" Pfeil \xc3\xa4, links"));
    clickCell(0, 7, 4);
    platform.answers = {path(QStringLiteral("set.ch"))};
    press("Command3");

    const struct {
        std::initializer_list<int> rows;
        QStringList options;
    } runs[] = {
        {{kCharacterCodeRow, kSaveToFileRow}, {}},
        {{kCharacterCodeRow, kRestOfCodeRow, kTestProgramRow, kSaveToFileRow},
         {"--test-program", "--rest"}},
    };
    for (const auto &run : runs) {
        for (int row = 0; row < 5; ++row)
            list("action")->item(row)->setSelected(false);
        selectActions(run.rows);
        platform.answers = {path(QStringLiteral("window.asm"))};
        press("Ccode");
        ASSERT_TRUE(platform.messages.empty()) << platform.messages[0].text.toStdString();

        const CliRun cli = runCli(QStringList{QStringLiteral("code"), path(QStringLiteral("set.ch")),
                                              QStringLiteral("--templates"), dir.path(),
                                              QStringLiteral("-o"), path(QStringLiteral("cli.inc"))} +
                                  run.options);
        EXPECT_EQ(cli.exitCode, 0) << cli.err.toStdString();
        const auto fromWindow = readFile(QStringLiteral("window.asm"));
        ASSERT_TRUE(fromWindow);
        EXPECT_TRUE(fromWindow->contains("; Pfeil \xe4, links\r\n"));
        EXPECT_EQ(readFile(QStringLiteral("cli.inc")), fromWindow)
            << run.options.join(u' ').toStdString();
    }
}

} // namespace
} // namespace glimmerset::test

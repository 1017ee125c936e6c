// Each form of `code`, built as its user builds it and run from reset on the
// simulated board: CGRAM must hold the set and line 1 show codes 0 to 7.

#include "support/cli_process.h"
#include "support/chips.h"
#include "support/file_bytes.h"

#include "codegen/asm_file.h"
#include "codegen/code_generation.h"
#include "simulation/avr_assembler.h"
#include "storage/glyph_file.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace glimmerset::test {
namespace {

GlyphFileContent exampleSet() {
    return glyphs_from_file(QStringLiteral(GLIMMERSET_SOURCE_DIR "/docs/example.ch"));
}

QString program(const char *relative) {
    return QStringLiteral(GLIMMERSET_PROGRAMS_DIR "/") + QLatin1String(relative);
}

// Runs a tool in dir; its output when it fails, for the failure message.
::testing::AssertionResult runTool(const QString &tool, const QStringList &arguments,
                                   const QString &dir) {
    QProcess process;
    process.setWorkingDirectory(dir);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(tool, arguments);
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0)
        return ::testing::AssertionFailure()
               << tool.toStdString() << " " << arguments.join(u' ').toStdString() << ":\n"
               << process.readAll().toStdString() << process.errorString().toStdString();
    return ::testing::AssertionSuccess();
}

// verify --program on a built program with the example set: it must pass
// and show codes 0 to 7 at the start of line 1.
::testing::AssertionResult verifiesTheSet(const QString &program, const QStringList &options) {
    const CliRun run = runCli(QStringList{QStringLiteral("verify"), QStringLiteral("--program"),
                                          program,
                                          QStringLiteral(GLIMMERSET_SOURCE_DIR "/docs/example.ch")} +
                              options);
    const QString out = run.outText();
    if (run.exitCode == 0 && out.contains(QStringLiteral("\nLine 1: \"{0}{1}{2}{3}{4}{5}{6}{7}")))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "exit " << run.exitCode << "\n"
                                         << out.toStdString() << run.err.toStdString();
}

// The README's first fenced block in language that holds marker.
QString readmeBlock(const QString &language, const QString &marker) {
    const QString readme =
        QString::fromUtf8(readAll(QStringLiteral(GLIMMERSET_SOURCE_DIR "/README.md")));
    const QRegularExpression block(QStringLiteral("```%1\\n(.*?)```").arg(language),
                                   QRegularExpression::DotMatchesEverythingOption);
    for (auto it = block.globalMatch(readme); it.hasNext();)
        if (const QString text = it.next().captured(1); text.contains(marker))
            return text;
    ADD_FAILURE() << "README.md has no " << language.toStdString() << " block with "
                  << marker.toStdString();
    return {};
}

class TableForm : public ::testing::TestWithParam<Chip> {};

// The shipped templates with the table in place of the block and only the
// .include line changed; the table alone is assembled for its size.
TEST_P(TableForm, FitsAndLoadsTheSet) {
    const Chip &chip = GetParam();
    const GlyphFileContent set = exampleSet();
    QTemporaryDir dir;
    QString main =
        QString::fromLatin1(readAll(QStringLiteral(GLIMMERSET_SOURCE_DIR "/templates/main.asm")));
    main.replace(QStringLiteral("\"m328Pdef.inc\""), u'"' + QLatin1String(chip.include) + u'"');
    writeAll(dir.filePath(QStringLiteral("main.asm")), main.toLatin1());
    QFile::copy(QStringLiteral(GLIMMERSET_SOURCE_DIR "/templates/rest.asm"),
                dir.filePath(QStringLiteral("rest.asm")));

    const QString header = QStringLiteral(".include \"%1\"\r\n.def mp0 = r16\r\n.equ lcd_fc = 0\r\n"
                                          ".equ lcd_ch = 0\r\n")
                               .arg(QLatin1String(chip.include));
    const Assembly alone = assemble(asmFileBytes(header + tableCode(set.names, set.glyphs)), dir.path());
    ASSERT_TRUE(alone.ok) << alone.log.toStdString() << alone.aborted.toStdString();
    static const QRegularExpression words(QStringLiteral("Code\\s*:\\s*(\\d+) words"));
    EXPECT_EQ(words.match(alone.log).captured(1), QStringLiteral("47")) << alone.log.toStdString();

    CodeRequest request;
    request.testProgram = request.characterCode = request.restOfCode = true;
    request.form = CodeForm::AsmTable;
    request.names = set.names;
    request.glyphs = set.glyphs;
    request.templateDir = dir.path();
    QString code;
    ASSERT_FALSE(appendCode(code, request));
    const QString program = dir.filePath(QStringLiteral("program.asm"));
    writeAll(program, asmFileBytes(code));
    EXPECT_TRUE(verifiesTheSet(program, {QStringLiteral("--mcu"), QLatin1String(chip.mcu)}));
}

INSTANTIATE_TEST_SUITE_P(Chips, TableForm, ::testing::ValuesIn(kChips),
                         [](const auto &info) { return std::string(info.param.mcu); });

// Names that would end their comment line plant no instruction, and one
// that would continue it hides none: avra's listing assembles the same
// words as for plain names.
TEST(Forms, NamesPlantNoCodeInTheListing) {
    GlyphNames hostile = defaultGlyphNames();
    hostile[0] = QStringLiteral("Arrow") + QChar(0) + QStringLiteral("LDI mp0,0xAA");
    hostile[1] = QStringLiteral("Heart\fRJMP 0");
    hostile[2] = QStringLiteral("Bell\\");
    GlyphSet glyphs;
    glyphs.setPixel(0, 0, 3, 1);
    for (const CodeForm form : {CodeForm::Asm, CodeForm::AsmTable}) {
        QTemporaryDir dir;
        const auto listing = [&](const GlyphNames &names) {
            writeAll(dir.filePath(QStringLiteral("names.asm")),
                     asmFileBytes(QStringLiteral(".include \"m328Pdef.inc\"\r\n.def mp0 = r16\r\n"
                                                 "lcd_fc:\r\nlcd_ch:\r\n\tRET\r\n") +
                                  formCode(form, names, glyphs)));
            EXPECT_TRUE(runTool(
                QStringLiteral("avra"),
                {QStringLiteral("-l"), QStringLiteral("names.lst"), QStringLiteral("names.asm")},
                dir.path()));
            QStringList assembled;
            for (const QString &line :
                 QString::fromLatin1(readAll(dir.filePath(QStringLiteral("names.lst"))))
                     .split(u'\n'))
                if (line.startsWith(QStringLiteral("C:")))
                    assembled << line.mid(line.indexOf(u' ', 9)).trimmed();
            return assembled;
        };
        const QStringList plain = listing(defaultGlyphNames());
        const QStringList planted = listing(hostile);
        EXPECT_EQ(planted, plain) << codeFormNames()[int(form)].toStdString();
        EXPECT_FALSE(planted.join(u'\n').contains(QStringLiteral("0xAA")));
    }
}

// The README's Makefile and program around the header, with a small driver
// of the usual shape, built by make with avr-gcc and avr-libc.
TEST(Forms, TheReadmesCProgramLoadsTheSet) {
    QTemporaryDir dir;
    writeAll(dir.filePath(QStringLiteral("Makefile")),
             readmeBlock(QStringLiteral("make"), QStringLiteral("--form c")).toUtf8());
    writeAll(dir.filePath(QStringLiteral("main.c")),
             readmeBlock(QStringLiteral("c"), QStringLiteral("glimmerset_load_glyphs")).toUtf8());
    for (const char *name : {"lcd.c", "lcd.h"})
        QFile::copy(program("c/") + QLatin1String(name), dir.filePath(QLatin1String(name)));
    QFile::copy(QStringLiteral(GLIMMERSET_SOURCE_DIR "/docs/example.ch"),
                dir.filePath(QStringLiteral("glyphs.ch")));

    QProcess make;
    make.setWorkingDirectory(dir.path());
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("PATH"),
               QFileInfo(QStringLiteral(GLIMMERSET_CLI)).absolutePath() + u':' +
                   QFileInfo(QStringLiteral(GLIMMERSET_AVR_GCC)).absolutePath() + u':' +
                   env.value(QStringLiteral("PATH")));
    make.setProcessEnvironment(env);
    make.setProcessChannelMode(QProcess::MergedChannels);
    make.start(QStringLiteral(GLIMMERSET_MAKE), {});
    ASSERT_TRUE(make.waitForFinished(120000));
    const QString log = QString::fromLocal8Bit(make.readAll());
    ASSERT_EQ(make.exitCode(), 0) << log.toStdString();
    EXPECT_FALSE(log.contains(QStringLiteral("warning"))) << log.toStdString();

    EXPECT_TRUE(verifiesTheSet(dir.filePath(QStringLiteral("display.hex")),
                               {QStringLiteral("--mcu"), QStringLiteral("atmega328p")}));
}

// The README's sketch as the Arduino IDE would build it for an Uno, its pins
// replaced by pins (rs, enable, d4, d5, d6, d7) when given.
QString buildSketch(const QTemporaryDir &dir, const QString &pins) {
    const GlyphFileContent set = exampleSet();
    QString sketch = readmeBlock(QStringLiteral("cpp"), QStringLiteral("loadGlyphs(lcd)"));
    const QString examplePins = QStringLiteral("lcd(12, 11, 5, 4, 3, 2)");
    EXPECT_TRUE(sketch.contains(examplePins));
    if (!pins.isEmpty())
        sketch.replace(examplePins, QStringLiteral("lcd(%1)").arg(pins));
    writeAll(dir.filePath(QStringLiteral("sketch.ino")), sketch.toUtf8());
    writeAll(dir.filePath(QStringLiteral("glyphs.h")),
             formFileBytes(CodeForm::Arduino, arduinoCode(set.names, set.glyphs)));
    QStringList flags = {QStringLiteral("-c"),
                         QStringLiteral("-Os"),
                         QStringLiteral("-Wall"),
                         QStringLiteral("-Wextra"),
                         QStringLiteral("-Werror"),
                         QStringLiteral("-std=gnu++11"),
                         QStringLiteral("-fno-exceptions"),
                         QStringLiteral("-fno-threadsafe-statics"),
                         QStringLiteral("-ffunction-sections"),
                         QStringLiteral("-fdata-sections"),
                         QStringLiteral("-mmcu=atmega328p"),
                         QStringLiteral("-DF_CPU=16000000L"),
                         QStringLiteral("-DARDUINO=10807"),
                         QStringLiteral("-DARDUINO_AVR_UNO"),
                         QStringLiteral("-DARDUINO_ARCH_AVR"),
                         QStringLiteral("-I" GLIMMERSET_ARDUINO_AVR "/cores/arduino"),
                         QStringLiteral("-I" GLIMMERSET_ARDUINO_AVR "/variants/standard"),
                         QStringLiteral("-I" GLIMMERSET_PROGRAMS_DIR "/arduino"),
                         QStringLiteral("-I.")};
    const QString gxx = QStringLiteral(GLIMMERSET_AVR_GXX);
    EXPECT_TRUE(runTool(gxx,
                        flags + QStringList{QStringLiteral("-x"), QStringLiteral("c++"),
                                            QStringLiteral("-include"), QStringLiteral("Arduino.h"),
                                            QStringLiteral("sketch.ino"), QStringLiteral("-o"),
                                            QStringLiteral("sketch.o")},
                        dir.path()));
    EXPECT_TRUE(runTool(gxx,
                        flags + QStringList{program("arduino/LiquidCrystal.cpp"),
                                            QStringLiteral("-o"), QStringLiteral("lcd.o")},
                        dir.path()));
    EXPECT_TRUE(
        runTool(QStringLiteral(GLIMMERSET_AVR_GCC),
                {QStringLiteral("-Os"), QStringLiteral("-mmcu=atmega328p"),
                 QStringLiteral("-Wl,--gc-sections"), QStringLiteral("-o"),
                 QStringLiteral("sketch.elf"), QStringLiteral("sketch.o"), QStringLiteral("lcd.o"),
                 QStringLiteral(GLIMMERSET_ARDUINO_CORE), QStringLiteral("-lm")},
                dir.path()));
    EXPECT_TRUE(runTool(QStringLiteral(GLIMMERSET_AVR_OBJCOPY),
                        {QStringLiteral("-O"), QStringLiteral("ihex"), QStringLiteral("-R"),
                         QStringLiteral(".eeprom"), QStringLiteral("sketch.elf"),
                         QStringLiteral("sketch.hex")},
                        dir.path()));
    return dir.filePath(QStringLiteral("sketch.hex"));
}

// The sketch on the README's one-port wiring (Uno pins 12 13 8 9 10 11 are
// PB4 PB5 PB0 PB1 PB2 PB3) and on LiquidCrystal's own example pins, which
// span ports B and D.
TEST(Forms, TheReadmesSketchLoadsTheSet) {
    const struct {
        const char *pins;
        const char *wiring;
    } cases[] = {
        {"12, 13, 8, 9, 10, 11", "B:0,1,2,3,4,5,low"},
        {"", "arduino:12,11,5,4,3,2"},
    };
    for (const auto &c : cases) {
        QTemporaryDir dir;
        buildSketch(dir, QLatin1String(c.pins));
        ASSERT_FALSE(::testing::Test::HasFailure());
        EXPECT_TRUE(verifiesTheSet(dir.filePath(QStringLiteral("sketch.elf")),
                                   {QStringLiteral("--mcu"), QStringLiteral("atmega328p"),
                                    QStringLiteral("--wiring"), QLatin1String(c.wiring),
                                    QStringLiteral("--seconds"), QStringLiteral("0.25")}))
            << c.wiring;
    }
}

} // namespace
} // namespace glimmerset::test

#include "cli/cli_io.h"
#include "cli/commands.h"
#include "cli/set_code.h"

#include "codegen/asm_file.h"
#include "simulation/avr_assembler.h"
#include "simulation/board_process.h"
#include "simulation/board_wiring.h"
#include "simulation/display_picture.h"
#include "simulation/signal_cleanup.h"
#include "simulation/verify_report.h"
#include "storage/error.h"
#include "storage/glyph_file.h"
#include "storage/regular_file.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cmath>
#include <variant>

namespace glimmerset::cli {

namespace {

const QString kCommand = QStringLiteral("verify");

struct VerifyOptions {
    std::optional<QString> setPath;
    QString programPath; // --program, or empty: the set's own test program
    ProgramFile::Format format = ProgramFile::IntelHex;
    bool assembled = true; // from source: .asm or the set's test program
    QString templateDir;
    QString mcu; // --mcu, lower case
    std::optional<double> clockMhz;
    BoardWiring wiring;
    double supplyVolts = 5;
    lcd::Geometry lcd = lcd::kDefaultGeometry;
    double seconds = 1;
    QString png;
};

// The program as the later steps need it.
struct Program {
    QByteArray source; // what avra assembles, when it does
    QStringList includeDirs;
    std::optional<GlyphFileContent> set;
    QString namedMcu;                    // by the source's .include
    std::optional<double> namedClockMhz; // by the shipped driver's LCD_CLOCK_MHZ
    QString mcu;                         // the chip to simulate; empty: the ELF names it
};

QString describe() {
    return QStringLiteral(
               "Runs a program from reset on a simulated AVR with an HD44780 LCD and judges\n"
               "it by the datasheet. Without --program the program is SET.ch's own test\n"
               "program, built as 'code --test-program --rest' does and assembled with avra;\n"
               "with --program it is FILE: .asm (assembled with avra, .include files found\n"
               "beside it), .hex (Intel hex) or .elf (avr-gcc's output; its .mmcu section,\n"
               "where present, gives chip and clock). The run ends on a jump to itself, a\n"
               "SLEEP with interrupts off, or after --seconds of simulated time.\n\n"
               "Reports each glyph's CGRAM rows against SET.ch (a row never written\n"
               "differs) or, without it, the glyphs CGRAM holds; every line of the display;\n"
               "the bus against the HD44780U datasheet's timing for the supply (and, as\n"
               "warnings, against the slower clones); the faults it shows in words; how the\n"
               "run ended and the cycles taken. Exits with 0 only when CGRAM holds the set\n"
               "(without one, when the program wrote to the LCD), no timing rule was broken,\n"
               "no fault was found, nor on an I2C backpack a rule of the PCF8574's bus, and\n"
               "the run ended without a fault: for the set's own test program, in its loop.\n\n"
               "Wiring, in one of four forms:\n"
               "  PORT:D4,D5,D6,D7,RS,E,RW with bit numbers 0 to 7 and RW \"low\" when tied to\n"
               "  ground: B:0,1,2,3,4,5,low (the shipped templates) or D:4,5,6,7,2,3,1;\n"
               "  each signal on any pin: rs=B4,e=B3,d4=D5,d5=D4,d6=D3,d7=D2, with rw= when RW\n"
               "  is wired and d0= to d3= for an 8-bit bus;\n"
               "  the Arduino LiquidCrystal constructor's pins in its order (rs, enable, d4..d7;\n"
               "  or rs, rw, enable, d4..d7; either also with d0..d7), Uno numbers 0 to 13 and\n"
               "  A0 to A5: arduino:12,11,5,4,3,2;\n"
               "  on an I2C backpack: %1.\n"
               "i2c:0x27 is the common module (P0 RS, P1 RW, P2 E, P3 backlight, P4 to P7 D4 to\n"
               "D7) that the templates of --templates pcf8574 drive.")
        .arg(QLatin1String(kBackpackWiringHelp));
}

// Reads a number in [low, high] for an option, or explains on stderr.
std::optional<double> numberOption(const QString &text, double low, double high,
                                   const QString &what) {
    bool ok = false;
    const double value = text.toDouble(&ok);
    if (ok && value >= low && value <= high)
        return value;
    usageError(kCommand,
               QStringLiteral("\"%1\" is no %2 from %3 to %4.").arg(text, what).arg(low).arg(high));
    return std::nullopt;
}

std::variant<VerifyOptions, int> parseOptions(const QStringList &arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription(describe());
    parser.addPositionalArgument(
        QStringLiteral("SET.ch"),
        QStringLiteral("The glyph file; optional with --program, where CGRAM must hold it."),
        QStringLiteral("[SET.ch]"));
    const QCommandLineOption program(
        QStringLiteral("program"),
        QStringLiteral("Verify your own program: an .asm, .hex or .elf file."),
        QStringLiteral("FILE"));
    const QCommandLineOption templates = templatesOption();
    const QCommandLineOption mcu(
        QStringLiteral("mcu"),
        QStringLiteral("The simulated chip, a simavr core name such as atmega8 or attiny2313. "
                       "Default: the one the program's .include names (m8def.inc: atmega8), "
                       "or an ELF's .mmcu section; a .hex file needs it."),
        QStringLiteral("NAME"));
    const QCommandLineOption clock(
        QStringLiteral("clock"),
        QStringLiteral("The chip's clock in MHz. Default: an ELF's .mmcu section, else 16."),
        QStringLiteral("MHZ"));
    const QCommandLineOption wiring(
        QStringLiteral("wiring"),
        QStringLiteral("Where the LCD is wired. Default: B:0,1,2,3,4,5,low."),
        QStringLiteral("PINS"));
    const QCommandLineOption lcdSize(
        QStringLiteral("lcd"),
        QStringLiteral("The module: %1. Default: 16x2.").arg(QLatin1String(lcd::kGeometryHelp)),
        QStringLiteral("COLSxROWS"));
    const QCommandLineOption supply(
        QStringLiteral("supply"),
        QStringLiteral("The module's supply in volts, which sets the datasheet's bus timing: 5 "
                       "(4.5 to 5.5) or 3.3 (2.7 to 4.5). Default: 5."),
        QStringLiteral("V"));
    const QCommandLineOption seconds(
        QStringLiteral("seconds"),
        QStringLiteral("The simulated time the run may take, up to 60. Default: 1."),
        QStringLiteral("S"));
    const QCommandLineOption png(
        QStringLiteral("png"),
        QStringLiteral("Also draw the simulated display into the PNG file FILE."),
        QStringLiteral("FILE"));
    parser.addOptions({program, templates, mcu, clock, wiring, lcdSize, supply, seconds, png});
    if (const auto exit = parseCommand(parser, arguments, 0, 1))
        return *exit;
    if (!parser.isSet(program) && parser.positionalArguments().isEmpty())
        return usageError(kCommand,
                          QStringLiteral("a glyph file (.ch) or --program FILE is needed."));

    VerifyOptions options;
    if (!parser.positionalArguments().isEmpty())
        options.setPath = parser.positionalArguments().constFirst();
    options.templateDir = templateFolder(parser);
    options.png = parser.value(png);
    if (parser.isSet(program)) {
        options.programPath = parser.value(program);
        const QString suffix = QFileInfo(options.programPath).suffix().toLower();
        if (suffix != QLatin1String("asm") && suffix != QLatin1String("hex") &&
            suffix != QLatin1String("elf"))
            return usageError(kCommand,
                              QStringLiteral("--program takes an .asm, .hex or .elf file, not "
                                             "\"%1\".")
                                  .arg(options.programPath));
        options.assembled = suffix == QLatin1String("asm");
        options.format = suffix == QLatin1String("elf") ? ProgramFile::Elf : ProgramFile::IntelHex;
        if (parser.isSet(templates))
            return usageError(kCommand, QStringLiteral("--templates builds a set's own test "
                                                       "program; --program brings its own."));
        if (suffix == QLatin1String("hex") && !parser.isSet(mcu))
            return usageError(kCommand,
                              QStringLiteral("a .hex file doesn't say its chip: give --mcu."));
    }
    if (parser.isSet(clock)) {
        options.clockMhz = numberOption(parser.value(clock), 0.001, 100, QStringLiteral("clock"));
        if (!options.clockMhz)
            return kUsageError;
    }
    if (parser.isSet(seconds)) {
        const auto value = numberOption(parser.value(seconds), 0.001, kMaxSimulatedSeconds,
                                        QStringLiteral("time in seconds"));
        if (!value)
            return kUsageError;
        options.seconds = *value;
    }
    if (parser.isSet(wiring)) {
        QString why;
        const auto parsed = parseWiring(parser.value(wiring), &why);
        if (!parsed)
            return usageError(kCommand, why + u'.');
        options.wiring = *parsed;
    }
    if (parser.isSet(supply)) {
        bool ok = false;
        options.supplyVolts = parser.value(supply).toDouble(&ok);
        if (!ok || !busTimingFor(options.supplyVolts))
            return usageError(kCommand,
                              QStringLiteral("\"%1\" is no HD44780 supply: 5 (4.5 to 5.5 V) or "
                                             "3.3 (2.7 to 4.5 V).")
                                  .arg(parser.value(supply)));
    }
    if (parser.isSet(lcdSize)) {
        const auto geometry = lcd::parseGeometry(parser.value(lcdSize).toStdString());
        if (!geometry)
            return usageError(kCommand, QStringLiteral("\"%1\" is no module; the modules are %2.")
                                            .arg(parser.value(lcdSize),
                                                 QLatin1String(lcd::kGeometryHelp)));
        options.lcd = *geometry;
    }
    if (parser.isSet(mcu)) {
        options.mcu = parser.value(mcu).toLower();
        if (!simavrKnowsMcu(options.mcu.toStdString()))
            return usageError(
                kCommand,
                QStringLiteral("simavr has no core named \"%1\".").arg(parser.value(mcu)));
    }
    return options;
}

// Far more source than any AVR's flash needs; avra would hold it all and more.
QByteArray readWhole(const QString &path) {
    return readRegularFile(path, qint64(16) << 20, QStringLiteral("a program's source"));
}

// The clock the shipped driver's waits were written for, when it says.
std::optional<double> programClockMhz(const QString &code) {
    static constexpr QStringView kName = u"LCD_CLOCK_MHZ";
    for (QStringView operand : directiveOperands(code, u".equ", false)) {
        if (!operand.startsWith(kName, Qt::CaseInsensitive))
            continue;
        operand = operand.mid(kName.size()).trimmed();
        if (!operand.startsWith(u'='))
            continue;
        operand = operand.mid(1).trimmed();
        const qsizetype end = std::find_if(operand.begin(), operand.end(),
                                           [](QChar c) { return !c.isDigit() && c != u'.'; }) -
                              operand.begin();
        bool ok = false;
        const double mhz = operand.left(end).toDouble(&ok);
        if (ok)
            return mhz;
    }
    return std::nullopt;
}

Program readProgram(const VerifyOptions &options) {
    Program program;
    if (options.setPath)
        program.set = readSetFile(*options.setPath);
    QString text;
    if (options.programPath.isEmpty()) {
        text = codeForSet(*program.set, true, true, options.templateDir);
        program.source = asmFileBytes(text);
    } else if (options.assembled) {
        program.source = readWhole(options.programPath);
        text = QString::fromLocal8Bit(program.source);
        program.includeDirs << QFileInfo(options.programPath).absolutePath();
    } else {
        // Read in the child that simulates it; here only refused if unreadable.
        openRegularFileForReading(options.programPath);
    }
    program.namedMcu = mcuFromInclude(text);
    program.namedClockMhz = programClockMhz(text);
    program.mcu = options.mcu;
    if (!options.assembled || !program.mcu.isEmpty())
        return program;
    program.mcu = program.namedMcu;
    if (program.mcu.isEmpty())
        throw Error(QStringLiteral("The program includes no device file (such as m328Pdef.inc) "
                                   "to tell the chip: give --mcu."));
    if (!simavrKnowsMcu(program.mcu.toStdString()))
        throw Error(QStringLiteral("simavr has no core named %1 for the program's .include: "
                                   "give --mcu.")
                        .arg(program.mcu));
    return program;
}

Error assemblyError(const Assembly &assembly, bool templates) {
    if (!assembly.aborted.isEmpty())
        return Error(assembly.aborted + u'.');
    QString text = QStringLiteral("avra could not assemble the program:");
    if (assembly.errors.isEmpty())
        return Error(text + u'\n' + assembly.log.trimmed());
    for (const QString &error : assembly.errors)
        text += QStringLiteral("\n  ") + error;
    if (templates)
        text += QStringLiteral(
            "\nThe templates are read field by field: a comma ends the line unless the field "
            "before it begins with ORI STS LDS OUT LDI or IN; see \"Writing your own templates\" "
            "in the README.");
    return Error(text);
}

ProgramFile assembleProgram(const Program &program, const ScratchFolder &folder, bool templates) {
    const Assembly assembly = assemble(program.source, folder.path(), program.includeDirs);
    if (!assembly.ok)
        throw assemblyError(assembly, templates);
    return {QFile::encodeName(assembly.hexPath).toStdString(), ProgramFile::IntelHex};
}

// What the program says of itself that the simulated board contradicts.
QString notes(const Program &program, const BoardConfig &board, const VerifyOptions &options) {
    QString text;
    const QString &named = program.namedMcu;
    if (!options.mcu.isEmpty() && !named.isEmpty() && named != options.mcu)
        text += QStringLiteral("Note: the program's .include is for the %1, the simulated "
                               "chip the %2 (--mcu).\n")
                    .arg(named, options.mcu);
    const double mhz = board.clockHz / 1e6;
    if (const auto written = program.namedClockMhz; written && std::abs(*written - mhz) > 1e-9)
        text += QStringLiteral("Note: the program's LCD_CLOCK_MHZ is %1, the simulated clock %2 "
                               "MHz (--clock).\n")
                    .arg(*written)
                    .arg(mhz);
    return text;
}

// The report, then the picture, then the verdict, which covers both: a
// report that can't be written or a picture that can't be saved is a failure.
int report(const Program &program, const VerifyOptions &options, BoardConfig board,
           const BoardRun &run) {
    board.mcu = run.mcu.empty() ? "chip unknown" : run.mcu;
    board.clockHz = run.clockHz;
    VerifyReport verdict = verifyReport(run, board, program.set ? &*program.set : nullptr,
                                        options.programPath.isEmpty());
    QString verdictLine = verdict.lines.takeLast();
    if (!writeStdout(
            (notes(program, board, options) + verdict.lines.join(u'\n') + u'\n').toLocal8Bit()))
        return kFailure;
    if (!options.png.isEmpty() && run.loaded) {
        try {
            writeDisplayPng(options.png, run.lcd, board.lcd, run.backlightOn);
        } catch (const Error &error) {
            printError(error.message());
            verdictLine =
                (verdict.ok ? QStringLiteral("FAILED: ") : verdictLine + QStringLiteral("; ")) +
                QStringLiteral("the picture was not saved");
            verdict.ok = false;
        }
    }
    if (!writeStdout((verdictLine + u'\n').toLocal8Bit()))
        return kFailure;
    return verdict.ok ? kSuccess : kFailure;
}

} // namespace

int verifyCommand(const QStringList &arguments) {
    const auto parsed = parseOptions(arguments);
    if (const int *exit = std::get_if<int>(&parsed))
        return *exit;
    const VerifyOptions &options = std::get<VerifyOptions>(parsed);
    const Program program = readProgram(options);

    BoardConfig board;
    board.mcu = program.mcu.toStdString();
    board.clockHz = options.clockMhz ? std::uint32_t(std::lround(*options.clockMhz * 1e6))
                    : options.format == ProgramFile::Elf ? 0
                                                         : 16'000'000;
    board.wiring = options.wiring;
    board.supplyVolts = options.supplyVolts;
    board.lcd = options.lcd;

    std::optional<ScratchFolder> folder;
    ProgramFile file{QFile::encodeName(options.programPath).toStdString(), options.format};
    if (options.assembled) {
        folder.emplace();
        file = assembleProgram(program, *folder, options.programPath.isEmpty());
    }
    const BoardRun run = runOnBoard(file, board, options.seconds);
    return report(program, options, board, run);
}

} // namespace glimmerset::cli

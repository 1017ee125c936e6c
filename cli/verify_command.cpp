#include "cli/cli_io.h"
#include "cli/commands.h"
#include "cli/display_options.h"
#include "cli/set_code.h"

#include "codegen/asm_file.h"
#include "codegen/name_text.h"
#include "simulation/avr_assembler.h"
#include "simulation/board_process.h"
#include "simulation/board_wiring.h"
#include "simulation/display_picture.h"
#include "simulation/program_image.h"
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

// The options as given, each read on its own; nothing weighed yet against
// the others or the program.
struct VerifyOptions {
    std::optional<QString> setPath;
    QString programPath; // --program, or empty: the set's own test program
    bool templatesGiven = false;
    QString templateDir;
    QStringList includeDirs; // -I
    const ArduinoBoard *board = nullptr;
    QString mcu; // --mcu, lower case
    std::optional<double> clockMhz;
    std::optional<BoardWiring> wiring;
    std::optional<double> supplyVolts;
    lcd::Geometry lcd = lcd::kDefaultGeometry;
    double seconds = 1;
    QString png;
    DisplayOptions display;
    double startupMs = 65;
    std::vector<Rule> accepted;
};

// The program as the later steps need it, and what it says of itself.
struct Program {
    enum Kind { SetProgram, Assembly, IntelHex, Elf };
    Kind kind = SetProgram;
    QByteArray source; // what avra assembles, when it does
    QStringList includeDirs;
    std::optional<GlyphFileContent> set;
    QString includedMcu;                   // by the source's .include
    std::optional<double> writtenClockMhz; // by the shipped driver's LCD_CLOCK_MHZ
    std::optional<int> backpackAddress;    // by the templates' LCD_I2C_ADDRESS
    QString elfMcu;                        // by an ELF's .mmcu section
    std::uint32_t elfClockHz = 0;

    bool assembled() const { return kind == SetProgram || kind == Assembly; }
};

// What runs, settled once from the options and the program.
struct Target {
    BoardConfig board;
    QString notes; // where the program says otherwise
};

QString describe() {
    return QStringLiteral(
               "Runs a program from reset on a simulated AVR with an HD44780 LCD and judges\n"
               "it by the datasheet. Without --program the program is SET.ch's own test\n"
               "program, built as 'code --test-program --rest' does and assembled with avra;\n"
               "with --program it is FILE: .asm (assembled with avra, .include files found\n"
               "beside it and in the -I folders), .hex (Intel hex) or an ELF, whatever its\n"
               "name (avr-gcc's output; its .mmcu section, where present, gives chip and\n"
               "clock). The run ends on a jump to itself or a SLEEP that no interrupt can\n"
               "leave, or after --seconds of simulated time.\n\n"
               "Reports each glyph's CGRAM rows against SET.ch (a row never written\n"
               "differs) or, without it, the glyphs CGRAM holds; every line of the display;\n"
               "the bus against the HD44780U datasheet's timing for the supply (and, as\n"
               "warnings, against the slower clones); the faults it shows in words; how the\n"
               "run ended and the cycles taken. Exits with 0 only when CGRAM holds the set\n"
               "(without one, when the program wrote to the LCD), no timing rule was broken,\n"
               "no fault was found, nor on an I2C backpack a rule of the PCF8574's bus, and\n"
               "the run ended without a fault: for the set's own test program, in its loop.\n"
               "The last line is the verdict.\n\n"
               "The chip is --mcu, else --board's, else the one the program's .include or\n"
               "its ELF .mmcu section names; the clock --clock, else --board's, else the\n"
               "ELF's, else %1 MHz.\n\n"
               "Wiring, in one of four forms:\n%2")
        .arg(kDefaultClockHz / 1e6)
        .arg(wiringHelp().chopped(1));
}

// Reads a number in [low, high] for an option, or explains on stderr.
std::optional<double> numberOption(const QString &text, double low, double high,
                                   const QString &what) {
    bool ok = false;
    const double value = text.toDouble(&ok);
    if (ok && value >= low && value <= high)
        return value;
    usageError(kCommand, QStringLiteral("%1 is no %2 from %3 to %4.")
                             .arg(shownValue(text), what)
                             .arg(low)
                             .arg(high));
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
        QStringLiteral("Verify your own program: an .asm, .hex or ELF file."),
        QStringLiteral("FILE"));
    const QCommandLineOption templates = templatesOption();
    const QCommandLineOption include(
        QStringLiteral("I"),
        QStringLiteral("Also look in DIR for the files an .asm program includes; may be given "
                       "more than once."),
        QStringLiteral("DIR"));
    const QCommandLineOption board(
        QStringLiteral("board"),
        QStringLiteral("An Arduino board: %1. Sets chip, clock and supply (the Pro Mini: "
                       "3.3 V at 8 MHz) and the pin numbers of --wiring arduino:.")
            .arg(arduinoBoardNames()),
        QStringLiteral("NAME"));
    const QCommandLineOption mcu(
        QStringLiteral("mcu"),
        QStringLiteral("The simulated chip, a simavr core name such as atmega8 or attiny2313. "
                       "Default: --board's, the one the program's .include names (m8def.inc: "
                       "atmega8), or an ELF's .mmcu section; a .hex file needs it."),
        QStringLiteral("NAME"));
    const QCommandLineOption clock(
        QStringLiteral("clock"),
        QStringLiteral("The chip's clock in MHz, %1 to %2. Default: --board's, an ELF's .mmcu "
                       "section, else %3.")
            .arg(kMinClockMhz)
            .arg(kMaxClockMhz)
            .arg(kDefaultClockHz / 1e6),
        QStringLiteral("MHZ"));
    const QCommandLineOption wiring(
        QStringLiteral("wiring"),
        QStringLiteral("Where the LCD is wired. Default: what the templates drive "
                       "(B:0,1,2,3,4,5,low; i2c: at LCD_I2C_ADDRESS for a backpack's)."),
        QStringLiteral("PINS"));
    const QCommandLineOption lcdSize(
        QStringLiteral("lcd"),
        QStringLiteral("The module: %1. Default: 16x2.").arg(QLatin1String(lcd::kGeometryHelp)),
        QStringLiteral("COLSxROWS"));
    const QCommandLineOption supply(
        QStringLiteral("supply"),
        QStringLiteral("The module's supply in volts, which sets the datasheet's bus timing: 5 "
                       "(4.5 to 5.5) or 3.3 (2.7 to 4.5). Default: --board's, else 5."),
        QStringLiteral("V"));
    const QCommandLineOption seconds(
        QStringLiteral("seconds"),
        QStringLiteral("The simulated time the run may take, up to %1. Default: 1.")
            .arg(kMaxSimulatedSeconds),
        QStringLiteral("S"));
    const QCommandLineOption png(
        QStringLiteral("png"),
        QStringLiteral("Also draw the simulated display into the PNG file FILE."),
        QStringLiteral("FILE"));
    const QCommandLineOption startup(
        QStringLiteral("startup"),
        QStringLiteral("The chip's start-up delay in ms, from power-on (when the LCD powers up "
                       "too) to its program's start. Default: 65 (the factory fuses, Arduino "
                       "boards); 4.1 or 0 for the fast start-up fuses."),
        QStringLiteral("MS"));
    QStringList acceptedRules;
    for (int r = 0; r <= int(Rule::Fault); ++r)
        if (acceptable(Rule(r)))
            acceptedRules << QLatin1String(ruleKey(Rule(r)));
    const QCommandLineOption accept(
        QStringLiteral("accept"),
        QStringLiteral("A rule you knowingly break, such as t_AS for a backpack library that "
                       "raises E in the write that sets RS: counted and named, failing nothing. "
                       "Repeatable. The rules: %1.")
            .arg(acceptedRules.join(QStringLiteral(", "))),
        QStringLiteral("RULE"));
    parser.addOptions({program, templates, include, board, mcu, clock, wiring, lcdSize, supply,
                       seconds, png, startup, accept});
    const DisplayOptionParser displayOptions(parser);
    VerifyOptions options;
    QStringList rest = arguments;
    if (const auto why = takeExpectLines(rest, options.display))
        return usageError(kCommand, *why);
    if (const auto exit = parseCommand(parser, rest, 0, 1))
        return *exit;

    if (!parser.positionalArguments().isEmpty())
        options.setPath = parser.positionalArguments().constFirst();
    options.programPath = parser.value(program);
    options.templatesGiven = parser.isSet(templates);
    options.templateDir = templateFolder(parser);
    options.includeDirs = parser.values(include);
    options.png = parser.value(png);
    if (parser.isSet(board)) {
        options.board = arduinoBoardNamed(parser.value(board));
        if (!options.board)
            return usageError(kCommand,
                              QStringLiteral("no board %1; the boards are %2.")
                                  .arg(shownValue(parser.value(board)), arduinoBoardNames()));
    }
    if (parser.isSet(mcu)) {
        options.mcu = parser.value(mcu).toLower();
        if (!simavrKnowsMcu(options.mcu.toStdString()))
            return usageError(
                kCommand,
                QStringLiteral("simavr has no core named %1.").arg(shownValue(parser.value(mcu))));
    }
    if (parser.isSet(clock)) {
        options.clockMhz = numberOption(parser.value(clock), kMinClockMhz, kMaxClockMhz,
                                        QStringLiteral("clock in MHz"));
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
    if (parser.isSet(startup)) {
        const auto value =
            numberOption(parser.value(startup), 0, 1000, QStringLiteral("start-up delay in ms"));
        if (!value)
            return kUsageError;
        options.startupMs = *value;
    }
    for (const QString &key : parser.values(accept)) {
        const auto rule = ruleNamed(key.toStdString());
        if (!rule || !acceptable(*rule))
            return usageError(kCommand, QStringLiteral("\"%1\" is no rule --accept takes; the "
                                                       "rules are %2.")
                                            .arg(key, acceptedRules.join(QStringLiteral(", "))));
        options.accepted.push_back(*rule);
    }
    if (parser.isSet(wiring)) {
        QString why;
        options.wiring =
            parseWiring(parser.value(wiring), &why, options.board ? *options.board : unoBoard());
        if (!options.wiring)
            return usageError(kCommand, why + u'.');
    }
    if (parser.isSet(supply)) {
        bool ok = false;
        options.supplyVolts = parser.value(supply).toDouble(&ok);
        if (!ok || !busTimingFor(*options.supplyVolts))
            return usageError(kCommand,
                              QStringLiteral("%1 is no HD44780 supply: 5 (4.5 to 5.5 V) or "
                                             "3.3 (2.7 to 4.5 V).")
                                  .arg(shownValue(parser.value(supply))));
    }
    if (parser.isSet(lcdSize)) {
        const auto geometry = lcd::parseGeometry(parser.value(lcdSize).toStdString());
        if (!geometry)
            return usageError(kCommand, QStringLiteral("%1 is no module; the modules are %2.")
                                            .arg(shownValue(parser.value(lcdSize)),
                                                 QLatin1String(lcd::kGeometryHelp)));
        options.lcd = *geometry;
    }
    if (const auto why = displayOptions.read(options.display, options.lcd, options.seconds))
        return usageError(kCommand, *why);
    return options;
}

// The options against each other; gives the usage error's exit code.
std::optional<int> checkOptions(const VerifyOptions &options) {
    if (options.programPath.isEmpty() && !options.setPath)
        return usageError(kCommand,
                          QStringLiteral("a glyph file (.ch) or --program FILE is needed."));
    if (!options.programPath.isEmpty() && options.templatesGiven)
        return usageError(kCommand, QStringLiteral("--templates builds a set's own test "
                                                   "program; --program brings its own."));
    return std::nullopt;
}

// Far more source than any AVR's flash needs; avra would hold it all and more.
QByteArray readWhole(const QString &path) {
    return readRegularFile(path, qint64(16) << 20, QStringLiteral("a program's source"));
}

// What the program's ".equ NAME = VALUE" sets, up to a comment; empty when it doesn't.
QString equValue(const QString &code, QStringView name) {
    for (QStringView operand : directiveOperands(code, u".equ", false)) {
        if (!operand.startsWith(name, Qt::CaseInsensitive))
            continue;
        operand = operand.mid(name.size()).trimmed();
        if (!operand.startsWith(u'='))
            continue;
        operand = operand.mid(1);
        const qsizetype comment = operand.indexOf(u';');
        return (comment < 0 ? operand : operand.left(comment)).trimmed().toString();
    }
    return {};
}

// The clock the shipped driver's waits were written for, when it says.
std::optional<double> writtenClockMhz(const QString &code) {
    const QString value = equValue(code, u"LCD_CLOCK_MHZ");
    const qsizetype end = std::find_if(value.begin(), value.end(),
                                       [](QChar c) { return !c.isDigit() && c != u'.'; }) -
                          value.begin();
    bool ok = false;
    const double mhz = value.left(end).toDouble(&ok);
    return ok ? std::optional(mhz) : std::nullopt;
}

// The backpack's address the backpack templates write to.
std::optional<int> writtenBackpackAddress(const QString &code) {
    bool ok = false;
    const int address = equValue(code, u"LCD_I2C_ADDRESS").toInt(&ok, 0);
    return ok ? std::optional(address) : std::nullopt;
}

bool startsAsElf(const QString &path) {
    try {
        return openRegularFileForReading(path)->read(4) == QByteArrayLiteral("\177ELF");
    } catch (const Error &) {
        return false; // said when it is read
    }
}

// Reads the set and the program; an ELF is known by its first bytes, the
// others by their names. Gives an exit code for a file verify doesn't take.
std::variant<Program, int> readProgram(const VerifyOptions &options) {
    Program program;
    if (options.setPath)
        program.set = readSetFile(*options.setPath);
    QString text;
    if (options.programPath.isEmpty()) {
        program.kind = Program::SetProgram;
        text = codeForSet(*program.set, true, true, options.templateDir);
        program.source = asmFileBytes(text);
        program.backpackAddress = writtenBackpackAddress(text);
    } else {
        const QString suffix = QFileInfo(options.programPath).suffix().toLower();
        if (startsAsElf(options.programPath) || suffix == QLatin1String("elf"))
            program.kind = Program::Elf;
        else if (suffix == QLatin1String("asm"))
            program.kind = Program::Assembly;
        else if (suffix == QLatin1String("hex"))
            program.kind = Program::IntelHex;
        else
            return usageError(kCommand, QStringLiteral("--program takes an .asm, .hex or ELF "
                                                       "file, not %1.")
                                            .arg(shownValue(options.programPath)));
    }
    if (!options.includeDirs.isEmpty() && !program.assembled())
        return usageError(kCommand, QStringLiteral("-I is for the .include lines of an .asm "
                                                   "program."));
    if (program.kind == Program::Assembly) {
        program.source = readWhole(options.programPath);
        text = QString::fromLocal8Bit(program.source);
        program.includeDirs << QFileInfo(options.programPath).absolutePath();
    } else if (program.kind == Program::Elf) {
        // The chip and clock it names, before the run; the child reads it again.
        ProgramImage image;
        std::string error;
        if (!readAvrElf(QFile::encodeName(options.programPath).toStdString(), image, error))
            throw Error(QString::fromLocal8Bit(error) + u'.');
        program.elfMcu = QString::fromLocal8Bit(image.mcu);
        program.elfClockHz = image.clockHz;
    } else if (program.kind == Program::IntelHex) {
        // Read in the child that simulates it; here only refused if unreadable.
        openRegularFileForReading(options.programPath);
    }
    program.includeDirs << options.includeDirs;
    program.includedMcu = mcuFromInclude(text);
    program.writtenClockMhz = writtenClockMhz(text);
    return program;
}

// Chip, clock, supply and wiring, each from the first of: the option, the
// board, what the program names, the default. Gives an exit code when the
// chip is named nowhere.
std::variant<Target, int> resolveTarget(const VerifyOptions &options, const Program &program) {
    Target target;
    BoardConfig &board = target.board;
    const ArduinoBoard *arduino = options.board;

    // The chip.
    QString mcu = options.mcu;
    if (mcu.isEmpty() && arduino)
        mcu = QLatin1String(arduino->mcu);
    const QString named = !program.includedMcu.isEmpty() ? program.includedMcu : program.elfMcu;
    const QString namedBy = !program.includedMcu.isEmpty()
                                ? QStringLiteral("the program's .include")
                                : QStringLiteral("the ELF's .mmcu section");
    const QString given =
        options.mcu.isEmpty() ? QStringLiteral("--board") : QStringLiteral("--mcu");
    if (mcu.isEmpty()) {
        if (named.isEmpty())
            return usageError(kCommand,
                              QStringLiteral("%1 doesn't name its chip: give --mcu or --board.")
                                  .arg(program.kind == Program::SetProgram
                                           ? QStringLiteral("the templates' test program")
                                           : shownValue(options.programPath)));
        if (!simavrKnowsMcu(named.toLower().toStdString()))
            throw Error(QStringLiteral("simavr has no core named %1 for %2: give --mcu.")
                            .arg(shownValue(named), namedBy));
        mcu = named.toLower();
    } else if (!named.isEmpty() && named.toLower() != mcu) {
        target.notes +=
            QStringLiteral("Note: %1 names the %2, the simulated chip is the %3 (%4).\n")
                .arg(namedBy, terminalText(named), mcu, given);
    }
    board.mcu = mcu.toStdString();

    // The clock.
    const double elfMhz = program.elfClockHz / 1e6;
    if (program.elfClockHz && !options.clockMhz && !arduino &&
        (elfMhz < kMinClockMhz || elfMhz > kMaxClockMhz))
        throw Error(QStringLiteral("%1 names a clock of %2 MHz in its .mmcu section; a chip runs "
                                   "at %3 to %4 MHz: give --clock.")
                        .arg(shownValue(options.programPath))
                        .arg(elfMhz)
                        .arg(kMinClockMhz)
                        .arg(kMaxClockMhz));
    // The first source that names a clock, and its name for the notes.
    const std::pair<std::uint32_t, const char *> clocks[] = {
        {options.clockMhz ? std::uint32_t(std::lround(*options.clockMhz * 1e6)) : 0, "--clock"},
        {arduino ? arduino->clockHz : 0, "--board"},
        {program.elfClockHz, "the ELF's .mmcu section"},
        {kDefaultClockHz, "the default"},
    };
    const auto clock = std::find_if(std::begin(clocks), std::end(clocks),
                                    [](const auto &source) { return source.first != 0; });
    board.clockHz = clock->first;
    const QString clockBy = QLatin1String(clock->second);
    // The set's own program and one that writes LCD_CLOCK_MHZ say what they were built for.
    board.clockAssumed = clock == std::end(clocks) - 1 && program.kind != Program::SetProgram &&
                         !program.writtenClockMhz;
    const double mhz = board.clockHz / 1e6;
    if (program.elfClockHz && program.elfClockHz != board.clockHz)
        target.notes += QStringLiteral("Note: the ELF's .mmcu section names %1 MHz, the simulated "
                                       "clock is %2 MHz (%3).\n")
                            .arg(elfMhz)
                            .arg(mhz)
                            .arg(clockBy);
    if (const auto written = program.writtenClockMhz; written && std::abs(*written - mhz) > 1e-9)
        target.notes += QStringLiteral("Note: the program's LCD_CLOCK_MHZ is %1, the simulated "
                                       "clock %2 MHz (%3).\n")
                            .arg(*written)
                            .arg(mhz)
                            .arg(clockBy);

    // The supply and the wiring.
    board.supplyVolts = options.supplyVolts ? *options.supplyVolts
                        : arduino           ? arduino->supplyVolts
                                            : 5;
    if (options.wiring) {
        board.wiring = *options.wiring;
    } else if (program.backpackAddress) {
        board.wiring.pins = {};
        board.wiring.backpack = BackpackWiring{*program.backpackAddress};
    }
    board.lcd = options.lcd;
    board.startupMs = options.startupMs;
    board.accepted = options.accepted;
    configureBoard(options.display, board);
    return target;
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

ProgramFile assembleProgram(const Program &program, const ScratchFolder &folder, bool templates,
                            QStringList &warnings) {
    const Assembly assembly = assemble(program.source, folder.path(), program.includeDirs);
    if (!assembly.ok)
        throw assemblyError(assembly, templates);
    warnings = assembly.warnings;
    return {QFile::encodeName(assembly.hexPath).toStdString(), ProgramFile::IntelHex};
}

// The report, then the picture, then the verdict, which covers both: a
// report that can't be written or a picture that can't be saved is a failure.
int report(const Program &program, const VerifyOptions &options, const Target &target,
           const BoardRun &run, const QStringList &assemblerWarnings) {
    VerifyReport verdict = verifyReport(run, target.board, program.set ? &*program.set : nullptr,
                                        program.kind == Program::SetProgram, assemblerWarnings);
    QString verdictLine = verdict.lines.takeLast();
    if (!printText(target.notes + verdict.lines.join(u'\n') + u'\n'))
        return kFailure;
    if (!options.png.isEmpty() && run.loaded) {
        try {
            writeDisplayPng(options.png, glassOf(run.lcd, target.board.lcd, run.backlightOn));
        } catch (const Error &error) {
            printError(error.message());
            verdictLine =
                (verdict.ok ? QStringLiteral("FAILED: ") : verdictLine + QStringLiteral("; ")) +
                QStringLiteral("the picture was not saved");
            verdict.ok = false;
        }
    }
    if (run.loaded) {
        QStringList failed;
        const QStringList lines = checkDisplay(options.display, run, target.board, failed);
        if (!lines.isEmpty() && !printText(lines.join(u'\n') + u'\n'))
            return kFailure;
        if (!failed.isEmpty()) {
            verdictLine =
                (verdict.ok ? QStringLiteral("FAILED: ") : verdictLine + QStringLiteral("; ")) +
                failed.join(QStringLiteral("; "));
            verdict.ok = false;
        }
    }
    // One line whatever a path in it holds: the verdict is always the last.
    if (!printText(terminalText(verdictLine) + u'\n'))
        return kFailure;
    return verdict.ok ? kSuccess : kFailure;
}

} // namespace

// Options parsed, then checked, then the program read, then chip, clock
// and wiring resolved: each once, in this order.
int verifyCommand(const QStringList &arguments) {
    const auto parsed = parseOptions(arguments);
    if (const int *exit = std::get_if<int>(&parsed))
        return *exit;
    const VerifyOptions &options = std::get<VerifyOptions>(parsed);
    if (const auto exit = checkOptions(options))
        return *exit;
    const auto read = readProgram(options);
    if (const int *exit = std::get_if<int>(&read))
        return *exit;
    const Program &program = std::get<Program>(read);
    const auto resolved = resolveTarget(options, program);
    if (const int *exit = std::get_if<int>(&resolved))
        return *exit;
    const Target &target = std::get<Target>(resolved);
    removeOrphanedScratchFolders();

    std::optional<ScratchFolder> folder;
    ProgramFile file{QFile::encodeName(options.programPath).toStdString(),
                     program.kind == Program::Elf ? ProgramFile::Elf : ProgramFile::IntelHex};
    QStringList warnings;
    if (program.assembled()) {
        folder.emplace();
        file = assembleProgram(program, *folder, program.kind == Program::SetProgram, warnings);
    }
    const BoardRun run = runOnBoard(file, target.board, options.seconds);
    return report(program, options, target, run, warnings);
}

} // namespace glimmerset::cli

#include "cli/cli_io.h"
#include "cli/commands.h"
#include "cli/set_code.h"

#include "simulation/avr_assembler.h"
#include "simulation/board_wiring.h"
#include "simulation/display_picture.h"
#include "simulation/simulated_board.h"
#include "simulation/verify_report.h"
#include "storage/error.h"
#include "storage/glyph_file.h"

#include <QRegularExpression>
#include <QTemporaryDir>

#include <cmath>

namespace glimmerset::cli {

namespace {

int usageError(const QString &message) {
    printError(QStringLiteral("verify: ") + message);
    printError(QStringLiteral("Try 'glimmerset-cli verify --help'."));
    return kUsageError;
}

// The clock the program's waits were written for, when it says.
std::optional<double> programClockMhz(const QString &code) {
    static const QRegularExpression equ(
        QStringLiteral("^\\.equ[ \\t]+LCD_CLOCK_MHZ[ \\t]*=[ \\t]*([0-9.]+)"),
        QRegularExpression::MultilineOption | QRegularExpression::CaseInsensitiveOption);
    const auto match = equ.match(code);
    bool ok = false;
    const double mhz = match.captured(1).toDouble(&ok);
    return ok ? std::optional(mhz) : std::nullopt;
}

void printAssemblyErrors(const Assembly &assembly) {
    printError(QStringLiteral("avra could not assemble the program:"));
    if (assembly.errors.isEmpty()) {
        printError(assembly.log.trimmed());
        return;
    }
    for (const QString &error : assembly.errors)
        printError(QStringLiteral("  ") + error);
    printError(QStringLiteral(
        "The templates are read field by field: a comma ends the line unless the field "
        "before it begins with ORI STS LDS OUT LDI or IN; see \"Writing your own templates\" "
        "in the README."));
}

} // namespace

int verifyCommand(const QStringList &arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral(
            "Builds the program for SET.ch as 'code --test-program --rest' does, assembles it\n"
            "with avra and runs it from reset on a simulated AVR with an HD44780 LCD, until it\n"
            "jumps to itself or one simulated second has passed. Reports each glyph's CGRAM\n"
            "rows against the set (a row never written differs), every line of the display,\n"
            "the bus against the HD44780U datasheet's timing for the supply (and, as warnings,\n"
            "against the slower clones), the faults it shows in words, whether the loop was\n"
            "reached and the cycles taken. Exits with 0 only when CGRAM holds the set, the\n"
            "loop was reached, no timing rule was broken and no fault was found, nor with the\n"
            "LCD on an I2C backpack a rule of the PCF8574's bus.\n\n"
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
            .arg(QLatin1String(kBackpackWiringHelp)));
    parser.addPositionalArgument(QStringLiteral("SET.ch"), QStringLiteral("The glyph file."));
    const QCommandLineOption templates = templatesOption();
    const QCommandLineOption mcu(
        QStringLiteral("mcu"),
        QStringLiteral("The simulated chip, a simavr core name such as atmega8 or attiny2313. "
                       "Default: the one the program's .include names (m8def.inc: atmega8)."),
        QStringLiteral("NAME"));
    const QCommandLineOption clock(QStringLiteral("clock"),
                                   QStringLiteral("The chip's clock in MHz. Default: 16."),
                                   QStringLiteral("MHZ"), QStringLiteral("16"));
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
        QStringLiteral("V"), QStringLiteral("5"));
    const QCommandLineOption png(
        QStringLiteral("png"),
        QStringLiteral("Also draw the simulated display into the PNG file FILE."),
        QStringLiteral("FILE"));
    parser.addOptions({templates, mcu, clock, wiring, lcdSize, supply, png});
    if (const auto exit = parseCommand(parser, arguments, 1))
        return *exit;

    BoardConfig config;
    bool clockOk = false;
    const double mhz = parser.value(clock).toDouble(&clockOk);
    if (!clockOk || !(mhz >= 0.001 && mhz <= 100))
        return usageError(
            QStringLiteral("\"%1\" is no clock from 0.001 to 100 MHz.").arg(parser.value(clock)));
    config.clockHz = static_cast<std::uint32_t>(std::lround(mhz * 1e6));
    if (parser.isSet(wiring)) {
        QString why;
        const auto parsed = parseWiring(parser.value(wiring), &why);
        if (!parsed)
            return usageError(why + u'.');
        config.wiring = *parsed;
    }
    bool supplyOk = false;
    config.supplyVolts = parser.value(supply).toDouble(&supplyOk);
    if (!supplyOk || !busTimingFor(config.supplyVolts))
        return usageError(QStringLiteral("\"%1\" is no HD44780 supply: 5 (4.5 to 5.5 V) or 3.3 "
                                         "(2.7 to 4.5 V).")
                              .arg(parser.value(supply)));
    if (parser.isSet(lcdSize)) {
        const auto geometry = lcd::parseGeometry(parser.value(lcdSize).toStdString());
        if (!geometry)
            return usageError(QStringLiteral("\"%1\" is no module; the modules are %2.")
                                  .arg(parser.value(lcdSize), QLatin1String(lcd::kGeometryHelp)));
        config.lcd = *geometry;
    }
    if (parser.isSet(mcu) && !simavrKnowsMcu(parser.value(mcu).toLower().toStdString()))
        return usageError(
            QStringLiteral("simavr has no core named \"%1\".").arg(parser.value(mcu)));

    try {
        const GlyphFileContent set = glyphs_from_file(parser.positionalArguments().constFirst());
        const auto program = codeForSet(set, true, true, templateFolder(parser));
        if (!program)
            return kFailure;
        const QString &code = *program;

        const QString chip = parser.isSet(mcu) ? parser.value(mcu).toLower() : mcuFromInclude(code);
        if (chip.isEmpty()) {
            printError(QStringLiteral("The program includes no device file (such as "
                                      "m328Pdef.inc) to tell the chip: give --mcu."));
            return kFailure;
        }
        config.mcu = chip.toStdString();
        if (!parser.isSet(mcu) && !simavrKnowsMcu(config.mcu)) {
            printError(QStringLiteral("simavr has no core named %1 for the program's .include: "
                                      "give --mcu.")
                           .arg(chip));
            return kFailure;
        }

        QTemporaryDir dir;
        if (!dir.isValid()) {
            printError(QStringLiteral("Can't make a temporary folder: %1.").arg(dir.errorString()));
            return kFailure;
        }
        const Assembly assembly = assemble(code, dir.path());
        if (!assembly.notRun.isEmpty()) {
            printError(assembly.notRun);
            return kFailure;
        }
        if (!assembly.ok) {
            printAssemblyErrors(assembly);
            return kFailure;
        }

        // One simulated second: the shipped program needs a tenth.
        const BoardRun run = runOnBoard(assembly.hexPath.toStdString(), config, config.clockHz);
        const VerifyReport report = verifyReport(run, config, &set);
        QString text = report.lines.join(u'\n') + u'\n';
        if (const auto written = programClockMhz(code); written && std::abs(*written - mhz) > 1e-9)
            text.prepend(QStringLiteral("Note: the program's LCD_CLOCK_MHZ is %1, the simulated "
                                        "clock %2 MHz (--clock).\n")
                             .arg(*written)
                             .arg(mhz));
        if (const QString named = mcuFromInclude(code);
            parser.isSet(mcu) && !named.isEmpty() && named != chip)
            text.prepend(QStringLiteral("Note: the program's .include is for the %1, the simulated "
                                        "chip the %2 (--mcu).\n")
                             .arg(named, chip));
        if (!writeStdout(text.toLocal8Bit()))
            return kFailure;
        if (parser.isSet(png) && run.loaded)
            writeDisplayPng(parser.value(png), run.lcd, config.lcd, run.backlightOn);
        return report.ok ? kSuccess : kFailure;
    } catch (const Error &e) {
        printError(e.message());
        return kFailure;
    }
}

} // namespace glimmerset::cli

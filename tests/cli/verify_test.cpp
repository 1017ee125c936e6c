#include "support/cli_process.h"
#include "support/file_bytes.h"

#include "simulation/display_picture.h"
#include "storage/glyph_file.h"

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>
#include <png.h>

#include <signal.h>

#include <csignal>
#include <cstring>
#include <functional>
#include <vector>

namespace glimmerset::test {
namespace {

struct VerifyRun {
    int exitCode = -1;
    QString out;
    QString err;
};

// With closedOutput the CLI starts with stdout and stderr closed.
VerifyRun verify(const QStringList &arguments, bool closedOutput = false) {
    const QStringList command = QStringList{QStringLiteral("verify")} + arguments;
    const CliRun run =
        closedOutput ? runProgram(QStringLiteral("/bin/sh"),
                                  QStringList{QStringLiteral("-c"),
                                              QStringLiteral("exec \"$0\" \"$@\" >&- 2>&-"),
                                              QStringLiteral(GLIMMERSET_CLI)} +
                                      command)
                     : runCli(command);
    return {run.exitCode, run.outText(), run.err};
}

QString shipped(const QString &name) {
    return QString::fromLatin1(readAll(QStringLiteral(GLIMMERSET_SOURCE_DIR "/templates/") + name));
}

using TemplateEdit = std::function<void(QString &main, QString &rest)>;

// A template folder with the shipped templates after edit, which must
// change something: the parallel set, or with set "pcf8574/" the
// backpack's.
QString templatesIn(const QTemporaryDir &dir, const TemplateEdit &edit, const QString &set = {}) {
    QString main = shipped(set + QStringLiteral("main.asm"));
    QString rest = shipped(set + QStringLiteral("rest.asm"));
    const QString before = main + rest;
    edit(main, rest);
    EXPECT_NE(main + rest, before) << "the edit changed nothing";
    writeAll(dir.filePath(QStringLiteral("main.asm")), main.toLatin1());
    writeAll(dir.filePath(QStringLiteral("rest.asm")), rest.toLatin1());
    return dir.path();
}

using GlyphFill = std::function<std::int16_t(int row, int column, int glyph)>;

const GlyphFill kSets[] = {
    [](int r, int c, int g) -> std::int16_t { return (r * 3 + c + g) % 3 == 0; },
    [](int, int, int) -> std::int16_t { return 1; },
    [](int r, int c, int g) -> std::int16_t { return (r + c + g) % 2; },
};

QString setFile(const QTemporaryDir &dir, const GlyphFill &fill) {
    GlyphSet glyphs;
    for (int g = 0; g < kGlyphCount; ++g)
        for (int r = 0; r < kRowCount; ++r)
            for (int c = 0; c < kColumnCount; ++c)
                glyphs.setPixel(r, c, g, fill(r, c, g));
    const QString path = dir.filePath(QStringLiteral("set.ch"));
    glyphs_to_file(path, defaultGlyphNames(), glyphs);
    return path;
}

struct Chip {
    const char *include;
    const char *mcu;
};

const Chip kChips[] = {
    {"m8def.inc", "atmega8"},       {"m16def.inc", "atmega16"},      {"m32def.inc", "atmega32"},
    {"m48def.inc", "atmega48"},     {"m88def.inc", "atmega88"},      {"m168def.inc", "atmega168"},
    {"m328Pdef.inc", "atmega328p"}, {"tn2313def.inc", "attiny2313"},
};
const int kClocksMhz[] = {1, 4, 8, 16, 20};

// A name from a shared file reaches the terminal spelled out, never as the
// escape sequence it holds.
TEST(Verify, NamesWithControlCharactersAreSpelledOut) {
    QTemporaryDir dir;
    GlyphNames names = defaultGlyphNames();
    names[2] = QStringLiteral("Bell") + QChar(0) + QStringLiteral("\x1B[2J");
    glyphs_to_file(dir.filePath(QStringLiteral("set.ch")), names, GlyphSet());
    const VerifyRun r = verify({dir.filePath(QStringLiteral("set.ch"))});
    EXPECT_TRUE(r.out.contains(QStringLiteral("Glyph 2 \"Bell\\x00\\x1B[2J\""))) << r.out.toStdString();
    EXPECT_FALSE(r.out.contains(QChar(0x1B)));
}

class ProvenOn : public ::testing::TestWithParam<std::tuple<Chip, int>> {};

// The shipped templates with only the .include line and LCD_CLOCK_MHZ
// changed; the chip comes from the .include. The glyph sets take turns.
TEST_P(ProvenOn, ShippedTemplatesHoldTheSet) {
    const auto [chip, mhz] = GetParam();
    QTemporaryDir dir;
    const QString templates = templatesIn(dir, [&](QString &main, QString &rest) {
        main.replace(QStringLiteral("\"m328Pdef.inc\""), u'"' + QLatin1String(chip.include) + u'"');
        rest.replace(QStringLiteral(".equ LCD_CLOCK_MHZ = 16\r\n"),
                     QStringLiteral(".equ LCD_CLOCK_MHZ = %1\r\n").arg(mhz));
        if (chip.include == std::string("m328Pdef.inc") && mhz == 16)
            rest += QStringLiteral("; unchanged\r\n");
    });
    const auto index = static_cast<std::size_t>(&chip - kChips) + static_cast<std::size_t>(mhz);
    const VerifyRun r =
        verify({setFile(dir, kSets[index % std::size(kSets)]), QStringLiteral("--templates"),
                templates, QStringLiteral("--clock"), QString::number(mhz)});
    EXPECT_EQ(r.exitCode, 0) << r.out.toStdString() << r.err.toStdString();
    EXPECT_TRUE(r.out.startsWith(
        QStringLiteral("Board: %1 at %2 MHz").arg(QLatin1String(chip.mcu)).arg(mhz)))
        << r.out.toStdString();
    EXPECT_TRUE(r.out.contains(QStringLiteral("\nLine 1: \"{0}{1}{2}{3}{4}{5}{6}{7}        \"\n")))
        << r.out.toStdString();
    EXPECT_TRUE(r.out.endsWith(QStringLiteral("\nOK\n"))) << r.out.toStdString();
    EXPECT_FALSE(r.out.contains(QStringLiteral("Warning"))) << r.out.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Matrix, ProvenOn,
                         ::testing::Combine(::testing::ValuesIn(kChips),
                                            ::testing::ValuesIn(kClocksMhz)),
                         [](const auto &info) {
                             return std::string(std::get<0>(info.param).mcu) + "_" +
                                    std::to_string(std::get<1>(info.param)) + "MHz";
                         });

void removeAll(QString &text, const char *line) {
    text.remove(QLatin1String(line) + QLatin1String("\r\n"));
}

// The 328P's test program on every other chip of the matrix: its stack
// lies past their RAM, which simavr would write outside its own arrays.
class OtherChip : public ::testing::TestWithParam<Chip> {};

TEST_P(OtherChip, StopsAtTheFirstAccessPastItsRam) {
    const QString mcu = QLatin1String(GetParam().mcu);
    const VerifyRun r = verify(
        {QStringLiteral(GLIMMERSET_SOURCE_DIR "/docs/example.ch"), QStringLiteral("--mcu"), mcu});
    if (mcu == QLatin1String("atmega328p")) {
        EXPECT_EQ(r.exitCode, 0) << r.out.toStdString() << r.err.toStdString();
        return;
    }
    EXPECT_EQ(r.exitCode, 1) << r.out.toStdString() << r.err.toStdString();
    EXPECT_TRUE(r.out.contains(QStringLiteral("\nFAILED: the program wrote to data address 0x08FF, "
                                              "past the %1's RAM (0x")
                                   .arg(mcu)))
        << r.out.toStdString();
    EXPECT_TRUE(r.out.endsWith(QStringLiteral("): was it assembled for another chip?\n")))
        << r.out.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Matrix, OtherChip, ::testing::ValuesIn(kChips),
                         [](const auto &info) { return std::string(info.param.mcu); });

// Timer 0 started before the line at, overflowing within 256 cycles; its
// handler stops the chip for good.
void stopOnTimer(QString &main, const QString &at) {
    main.replace(QStringLiteral(".org INT_VECTORS_SIZE\r\n"),
                 QStringLiteral(".org OVF0addr\r\n    RJMP stop\r\n.org INT_VECTORS_SIZE\r\n"));
    main.replace(at, QStringLiteral("    LDI mp0,1\r\n    OUT TCCR0B,mp0\r\n    STS TIMSK0,mp0\r\n"
                                    "    SEI\r\n") +
                         at);
    main += QStringLiteral("stop:\r\n    CLI\r\n    SLEEP\r\n");
}

// The LCD on a PCF8574 backpack: the backpack templates with only the
// .include, LCD_CLOCK_MHZ and LCD_I2C_ADDRESS lines changed, on every chip
// of the table but the ATtiny2313, which has no TWI. The 328P at 16 MHz
// and 0x27 is the shipped set as it stands, found by its name.
class ProvenOnBackpack : public ::testing::TestWithParam<std::tuple<Chip, int, int>> {};

TEST_P(ProvenOnBackpack, ShippedTemplatesHoldTheSet) {
    const auto [chip, mhz, address] = GetParam();
    const QString hex = QStringLiteral("0x") + QString::number(address, 16).toUpper();
    QTemporaryDir dir;
    const bool asShipped =
        chip.include == std::string("m328Pdef.inc") && mhz == 16 && address == 0x27;
    const QString templates =
        asShipped ? QStringLiteral("pcf8574")
                  : templatesIn(
                        dir,
                        [&](QString &main, QString &rest) {
                            main.replace(QStringLiteral("\"m328Pdef.inc\""),
                                         u'"' + QLatin1String(chip.include) + u'"');
                            rest.replace(QStringLiteral(".equ LCD_CLOCK_MHZ = 16\r\n"),
                                         QStringLiteral(".equ LCD_CLOCK_MHZ = %1\r\n").arg(mhz));
                            rest.replace(QStringLiteral(".equ LCD_I2C_ADDRESS = 0x27\r\n"),
                                         QStringLiteral(".equ LCD_I2C_ADDRESS = %1\r\n").arg(hex));
                        },
                        QStringLiteral("pcf8574/"));
    const auto index = static_cast<std::size_t>(&chip - kChips) + static_cast<std::size_t>(mhz);
    const VerifyRun r =
        verify({setFile(dir, kSets[index % std::size(kSets)]), QStringLiteral("--templates"),
                templates, QStringLiteral("--wiring"), QStringLiteral("i2c:") + hex,
                QStringLiteral("--clock"), QString::number(mhz)});
    EXPECT_EQ(r.exitCode, 0) << r.out.toStdString() << r.err.toStdString();
    EXPECT_TRUE(
        r.out.startsWith(QStringLiteral("Board: %1 at %2 MHz, 16x2 LCD at 5 V on i2c:%3, a PCF8574")
                             .arg(QLatin1String(chip.mcu))
                             .arg(mhz)
                             .arg(hex)))
        << r.out.toStdString();
    EXPECT_TRUE(r.out.contains(QStringLiteral("\nLine 1: \"{0}{1}{2}{3}{4}{5}{6}{7}        \"\n")))
        << r.out.toStdString();
    EXPECT_TRUE(r.out.contains(QStringLiteral("\nLoop: reached after "))) << r.out.toStdString();
    EXPECT_TRUE(r.out.endsWith(QStringLiteral("\nOK\n"))) << r.out.toStdString();
    EXPECT_FALSE(r.out.contains(QStringLiteral("Warning"))) << r.out.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Matrix, ProvenOnBackpack,
    ::testing::Combine(::testing::ValuesIn(std::begin(kChips), std::end(kChips) - 1),
                       ::testing::ValuesIn(kClocksMhz), ::testing::Values(0x27, 0x3F)),
    [](const auto &info) {
        return std::string(std::get<0>(info.param).mcu) + "_" +
               std::to_string(std::get<1>(info.param)) + "MHz_0x" +
               QString::number(std::get<2>(info.param), 16).toUpper().toStdString();
    });

// Templates and programs that must fail, or pass only with a warning, and
// what hostile programs and surroundings may do, through the real CLI: each
// ends in words and its exit status, never a crash, a hang or a silent 0.
struct VerifyCase {
    const char *name;
    TemplateEdit edit;     // the test program's templates
    const char *program;   // else --program prog.asm with this source; neither: as shipped
    QStringList arguments; // more; "DIR" stands for the case's folder
    bool closedOutput;
    int exitCode;
    QStringList stdoutHas;
    QStringList stderrHas;
    QString set = {}; // "pcf8574/" for the backpack's templates
};

void PrintTo(const VerifyCase &c, std::ostream *os) {
    *os << c.name;
}

const QString kBackpackSet = QStringLiteral("pcf8574/");
const QStringList kOnTheBackpack = {QStringLiteral("--wiring"), QStringLiteral("i2c:0x27")};

const VerifyCase kCases[] = {
    {"AcceptsOnlyABusRule",
     nullptr,
     nullptr,
     {QStringLiteral("--accept"), QStringLiteral("t_AS"), QStringLiteral("--accept"),
      QStringLiteral("cgram")},
     false,
     2,
     {},
     {QStringLiteral("\"cgram\" is no rule --accept takes; the rules are busy, PW_EH, ")}},
    // avra's warning above the findings; a clock nobody named is said to be assumed.
    {"AvraWarningAndAssumedClock",
     nullptr,
     ".include \"m328Pdef.inc\"\nldi r16, 0x1FF\nrjmp PC\n",
     {},
     false,
     1,
     {QStringLiteral("at 16 MHz (assumed: the program names no clock; give --clock)"),
      QStringLiteral("\navra: line 2: Constant out of range (-128 <= k <= 255). Will be masked\n")},
     {}},
    {"DriverWithoutDelays",
     [](QString &, QString &rest) {
         removeAll(rest, "    RCALL lcd_wait_access");
         removeAll(rest, "    RCALL lcd_wait_ms");
     },
     nullptr,
     {},
     false,
     1,
     {QStringLiteral("while the controller is busy until"),
      QStringLiteral("relies on the chip's start-up delay"),
      QStringLiteral("FAILED: the bus timing was broken")},
     {}},
    {"NoDdramAddressBeforeTheCharacters",
     [](QString &main, QString &) {
         main.replace(QStringLiteral("    LDI mp0,0x80\r\n    RCALL lcd_fc\r\n"), QString());
     },
     nullptr,
     {},
     false,
     1,
     {QStringLiteral("Glyph 0 \"Arrow\": rows "), QStringLiteral("differ (set | CGRAM)\n    row "),
      QStringLiteral("Line 1: \"                \""),
      QStringLiteral("Fault: characters written into CGRAM"),
      QStringLiteral("FAILED: CGRAM does not hold the set")},
     {}},
    {"DatasheetWaitsOnly",
     [](QString &, QString &rest) {
         rest.replace(
             QStringLiteral("    SET\r\n    RCALL lcd_send\r\n    RCALL lcd_wait_access\r\n"),
             QStringLiteral("    SET\r\n    RCALL lcd_send\r\n    RCALL lcd_wait_50us\r\n"));
     },
     nullptr,
     {},
     false,
     0,
     {QStringLiteral("Warning: 71 accesses too early for the slower clones"),
      QStringLiteral("\nOK\n")},
     {}},
    {"CommaAfterAMnemonicNotJoined",
     [](QString &, QString &rest) {
         rest.replace(QStringLiteral("    PUSH r18\r\n    POP r17\r\n    LSR r17\r\n"),
                      QStringLiteral("    MOV r17,r18\r\n    LSR r17\r\n"));
     },
     nullptr,
     {},
     false,
     1,
     {},
     {QStringLiteral("avra could not assemble the program:"),
      QStringLiteral(": Unknown mnemonic/macro: r18\n"), QStringLiteral(": MOV r17\n"),
      QStringLiteral(": r18\n"), QStringLiteral("Writing your own templates")}},
    {"LabelBeforeACommaInstruction",
     [](QString &main, QString &) {
         main.replace(QStringLiteral("reset:\r\n    LDI mp0,LOW(RAMEND)\r\n"),
                      QStringLiteral("reset: LDI mp0,LOW(RAMEND)\r\n"));
     },
     nullptr,
     {},
     false,
     1,
     {},
     {QStringLiteral(": reset: LDI mp0\n"), QStringLiteral(">"),
      QStringLiteral(": LOW(RAMEND)\n")}},
    {"AsleepWithInterruptsOff",
     [](QString &main, QString &) { stopOnTimer(main, QStringLiteral("    RCALL lcd_setup\r\n")); },
     nullptr,
     {},
     false,
     1,
     {QStringLiteral("\nEnd: asleep with no interrupt to wake it after "),
      QStringLiteral("the loop was not reached")},
     {}},
    // The loop doesn't end the run while an interrupt can leave it.
    {"AsleepAfterTheLoop",
     [](QString &main, QString &) { stopOnTimer(main, QStringLiteral("main_loop:\r\n")); },
     nullptr,
     {},
     false,
     1,
     {QStringLiteral("\nEnd: asleep with no interrupt to wake it after "),
      QStringLiteral("the loop was not reached")},
     {}},
    {"StackPointerAtTheTop",
     [](QString &main, QString &) {
         main = QStringLiteral(".include \"m328Pdef.inc\"\r\n.def mp0 = r16\r\n    LDI mp0,0xFF\r\n"
                               "    OUT SPH,mp0\r\n    RCALL LCD_char\r\n");
     },
     nullptr,
     {},
     false,
     1,
     {QStringLiteral("\nFAILED: the program wrote to data address 0xFFFF, past the atmega328p's "
                     "RAM (0x08FF)")},
     {}},
    {"AvraCrashes",
     [](QString &main, QString &) {
         main = QStringLiteral(".include \"m328Pdef.inc\"\r\n.include \"program.asm\"\r\n");
     },
     nullptr,
     {},
     false,
     1,
     {},
     {QStringLiteral("avra crashed with signal 11 (Segmentation fault) while assembling the "
                     "program.")}},
    {"NoLoopAtTheEnd",
     nullptr,
     ".include \"m328Pdef.inc\"\r\n    NOP\r\n",
     {},
     false,
     1,
     {QStringLiteral("\nFAILED: the program ran to flash address 0x08000, past the end of the "
                     "atmega328p's flash (0x07FFF): does it end in a loop?")},
     {}},
    {"ProgramMemoryPastTheFlash",
     nullptr,
     ".include \"tn2313def.inc\"\r\n    LDI ZL,0xFF\r\n    LDI ZH,0xFF\r\n    LPM\r\nloop:\r\n"
     "    RJMP loop\r\n",
     {},
     false,
     1,
     {QStringLiteral("\nFAILED: the program read flash address 0x0FFFF, past the attiny2313's "
                     "flash (0x007FF)")},
     {}},
    {"DataBetweenRamAndSimavrsIoTable",
     nullptr,
     ".include \"tn2313def.inc\"\r\n    STS 0x0100,r16\r\nloop:\r\n    RJMP loop\r\n",
     {},
     false,
     1,
     {QStringLiteral("\nFAILED: the program wrote to data address 0x0100, past the attiny2313's "
                     "RAM (0x00DF)")},
     {}},
    {"ReportWithNowhereToGo", nullptr, nullptr, {}, true, 1, {}, {}},
    {"PictureThatCantBeSaved",
     nullptr,
     nullptr,
     {QStringLiteral("--png"), QStringLiteral("DIR/missing/lcd.png")},
     false,
     1,
     {QStringLiteral("\nLoop: reached after "),
      QStringLiteral("\nFAILED: the picture was not saved\n")},
     {QStringLiteral("/missing")}},
    {"NeitherAsmHexNorElf",
     nullptr,
     nullptr,
     {QStringLiteral("--program"), QStringLiteral("a.bin")},
     false,
     2,
     {},
     {QStringLiteral("--program takes an .asm, .hex or .elf file")}},
    {"HexWithoutChip",
     nullptr,
     nullptr,
     {QStringLiteral("--program"), QStringLiteral("a.hex")},
     false,
     2,
     {},
     {QStringLiteral("a .hex file doesn't say its chip: give --mcu.")}},
    {"BackpackAtAnotherAddress",
     [](QString &, QString &rest) {
         rest.replace(QStringLiteral(".equ LCD_I2C_ADDRESS = 0x27\r\n"),
                      QStringLiteral(".equ LCD_I2C_ADDRESS = 0x3F\r\n"));
     },
     nullptr,
     kOnTheBackpack,
     false,
     1,
     {QStringLiteral("\nCause: the program never reached the backpack at 0x27: it sent the "
                     "LCD's bytes to 0x3F, where nobody answered\n"),
      QStringLiteral("\nFAILED: the program never reached the backpack at 0x27; CGRAM does not "
                     "hold the set; no access seen on the wired pins\n")},
     {},
     kBackpackSet},
    {"BackpackSclOver100kHz",
     [](QString &, QString &rest) {
         rest.replace(QStringLiteral(".equ LCD_TWI_BITRATE = (LCD_CLOCK_MHZ*10-16+1)/2\r\n"),
                      QStringLiteral(".equ LCD_TWI_BITRATE = 12\r\n"));
     },
     nullptr,
     kOnTheBackpack,
     false,
     1,
     {QStringLiteral("\n    SCL at 400.0 kHz (TWBR 12, prescaler 1 at 16 MHz) for "),
      QStringLiteral(" bytes: the PCF8574 takes 100 kHz at most\n"),
      QStringLiteral("the I2C bus broke the PCF8574's rules\n")},
     {},
     kBackpackSet},
    // Clear's wait as a busy-flag poll over the expander, whose D7 the
    // controller drives in the read; a wrong answer either way fails.
    {"BackpackPollsTheBusyFlag",
     [](QString &, QString &rest) {
         rest.replace(QStringLiteral("    LDI r19,5\r\n    RCALL lcd_wait_ms\r\nlcd_fc_done:\r\n"),
                      QStringLiteral("    RCALL lcd_wait_ready\r\nlcd_fc_done:\r\n"));
         rest += QStringLiteral("lcd_wait_ready:\n"
                                "    PUSH r17\n"
                                "lcd_wait_ready_poll:\n"
                                "    RCALL lcd_twi_begin\n"
                                "    LDI r17,0xFA\n" // RW high and D4 to D7 let go
                                "    RCALL lcd_twi_send\n"
                                "    LDI r17,0xFE\n" // E high
                                "    RCALL lcd_twi_send\n"
                                "    LDI r17,(1<<TWINT)|(1<<TWSTA)|(1<<TWEN)\n"
                                "    RCALL lcd_twi_go\n"
                                "    LDI r17,LCD_I2C_ADDRESS*2+1\n"
                                "    RCALL lcd_twi_send\n"
                                "    LDI r17,(1<<TWINT)|(1<<TWEN)\n"
                                "    RCALL lcd_twi_go\n"
                                "    LDS r17,TWDR\n"
                                "    PUSH r17\n"
                                "    RCALL lcd_twi_begin\n"
                                "    LDI r17,0xFA\n" // E low; then the second nibble
                                "    RCALL lcd_twi_send\n"
                                "    LDI r17,0xFE\n"
                                "    RCALL lcd_twi_send\n"
                                "    LDI r17,0xFA\n"
                                "    RCALL lcd_twi_send\n"
                                "    RCALL lcd_twi_end\n"
                                "    POP r17\n"
                                "    TST r17\n" // BF on P7
                                "    BRMI lcd_wait_ready_poll\n"
                                "    POP r17\n"
                                "    RET\n");
     },
     nullptr,
     kOnTheBackpack,
     false,
     0,
     {QStringLiteral(" reads, none while busy"), QStringLiteral("\nLoop: reached after "),
      QStringLiteral("\nOK\n")},
     {},
     kBackpackSet},
    {"BackpackWithAnotherMapping",
     [](QString &, QString &rest) {
         rest.replace(QStringLiteral(".equ LCD_RS = 0x01\r\n"),
                      QStringLiteral(".equ LCD_RS = 0x02\r\n"));
         rest.replace(QStringLiteral(".equ LCD_E = 0x04\r\n"),
                      QStringLiteral(".equ LCD_E = 0x01\r\n"));
     },
     nullptr,
     {QStringLiteral("--wiring"),
      QStringLiteral("i2c:0x27:rs=1,rw=2,e=0,bl=3,d4=4,d5=5,d6=6,d7=7")},
     false,
     0,
     {QStringLiteral("LCD at 5 V on i2c:0x27:rs=1,rw=2,e=0,bl=3,d4=4,d5=5,d6=6,d7=7, a PCF8574 "
                     "backpack on the TWI (P0 E, P1 RS, P2 RW, P3 backlight, P4 D4,"),
      QStringLiteral("\nLine 1: \"{0}{1}{2}{3}{4}{5}{6}{7}        \"\n"), QStringLiteral("\nOK\n")},
     {},
     kBackpackSet},
};

class VerifyEnds : public ::testing::TestWithParam<VerifyCase> {};

TEST_P(VerifyEnds, InWords) {
    const VerifyCase &c = GetParam();
    QTemporaryDir dir;
    QStringList arguments;
    if (c.edit)
        arguments << QStringLiteral("--templates") << templatesIn(dir, c.edit, c.set);
    if (c.program) {
        writeAll(dir.filePath(QStringLiteral("prog.asm")), c.program);
        arguments << QStringLiteral("--program") << dir.filePath(QStringLiteral("prog.asm"));
    } else if (!c.arguments.contains(QStringLiteral("--program"))) {
        arguments << QStringLiteral(GLIMMERSET_SOURCE_DIR "/docs/example.ch");
    }
    for (const QString &argument : c.arguments)
        arguments << QString(argument).replace(QStringLiteral("DIR"), dir.path());
    const VerifyRun r = verify(arguments, c.closedOutput);
    ASSERT_EQ(r.exitCode, c.exitCode) << r.out.toStdString() << r.err.toStdString();
    for (const QString &part : c.stdoutHas)
        EXPECT_TRUE(r.out.contains(part)) << part.toStdString() << " in\n" << r.out.toStdString();
    for (const QString &part : c.stderrHas)
        EXPECT_TRUE(r.err.contains(part)) << part.toStdString() << " in\n" << r.err.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Cases, VerifyEnds, ::testing::ValuesIn(kCases),
                         [](const auto &info) { return std::string(info.param.name); });

// A driver of our own in C, built with avr-gcc and avr-libc into an ELF
// whose .mmcu section names chip and clock; glyphs.h is made from the set.
struct CProgramCase {
    const char *name;
    QStringList arguments; // verify's, besides the program and the set
    const char *lineAddress;
    QString line;
};

void PrintTo(const CProgramCase &c, std::ostream *os) {
    *os << c.name;
}

const CProgramCase kCPrograms[] = {
    {"Line2Of16x2", {}, "0x40", QStringLiteral("\nLine 2: \"Hi {0}{1}{2}{3}{4}{5}{6}{7}     \"\n")},
    {"Line2Of20x4",
     {QStringLiteral("--lcd"), QStringLiteral("20x4")},
     "0x40",
     QStringLiteral("\nLine 2: \"Hi {0}{1}{2}{3}{4}{5}{6}{7}         \"\n")},
    {"Line3Of20x4",
     {QStringLiteral("--lcd"), QStringLiteral("20x4")},
     "0x14",
     QStringLiteral("\nLine 3: \"Hi {0}{1}{2}{3}{4}{5}{6}{7}         \"\n")},
};

class VerifyCProgram : public ::testing::TestWithParam<CProgramCase> {};

TEST_P(VerifyCProgram, HoldsTheSetAndShowsTheLine) {
    const CProgramCase &c = GetParam();
    QTemporaryDir dir;
    const QString set = setFile(dir, kSets[0]);
    const GlyphSet glyphs = glyphs_from_file(set).glyphs;
    QByteArray header = "#include <avr/pgmspace.h>\nconst uint8_t glyphs[64] PROGMEM = {";
    for (int g = 0; g < kGlyphCount; ++g)
        for (int r = 0; r < kRowCount; ++r) {
            int row = 0;
            for (int column = 0; column < kColumnCount; ++column)
                row |= glyphs.isLit(r, column, g) ? 0x10 >> column : 0;
            header += QByteArray::number(row) + ',';
        }
    writeAll(dir.filePath(QStringLiteral("glyphs.h")), header + "};\n");

    QProcess gcc;
    gcc.start(QStringLiteral(GLIMMERSET_AVR_GCC),
              {QStringLiteral("-mmcu=atmega328p"), QStringLiteral("-DF_CPU=16000000UL"),
               QStringLiteral("-Os"), QStringLiteral("-Wall"), QStringLiteral("-Werror"),
               QStringLiteral("-DLCD_LINE_ADDRESS=") + QLatin1String(c.lineAddress),
               QStringLiteral("-I" GLIMMERSET_MMCU_INCLUDE), QStringLiteral("-I") + dir.path(),
               QStringLiteral("-o"), dir.filePath(QStringLiteral("app.elf")),
               QStringLiteral(GLIMMERSET_SOURCE_DIR "/tests/cli/programs/lcd_glyphs.c")});
    ASSERT_TRUE(gcc.waitForFinished(60000));
    ASSERT_EQ(gcc.exitCode(), 0) << gcc.readAll().toStdString();

    const QStringList program{QStringLiteral("--program"), dir.filePath(QStringLiteral("app.elf"))};
    const VerifyRun r = verify(program + QStringList{set} + c.arguments);
    EXPECT_EQ(r.exitCode, 0) << r.out.toStdString() << r.err.toStdString();
    EXPECT_TRUE(r.out.startsWith(QStringLiteral("Board: atmega328p at 16 MHz")))
        << r.out.toStdString();
    EXPECT_TRUE(r.out.contains(c.line)) << r.out.toStdString();
    EXPECT_TRUE(r.out.endsWith(QStringLiteral("\nOK\n"))) << r.out.toStdString();

    // Another set is not what the program loads.
    QTemporaryDir other;
    const VerifyRun wrong = verify(program + QStringList{setFile(other, kSets[2])} + c.arguments);
    EXPECT_EQ(wrong.exitCode, 1) << wrong.out.toStdString();
    EXPECT_TRUE(wrong.out.endsWith(QStringLiteral("\nFAILED: CGRAM does not hold the set\n")))
        << wrong.out.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Geometries, VerifyCProgram, ::testing::ValuesIn(kCPrograms),
                         [](const auto &info) { return std::string(info.param.name); });

// A run ended by SIGTERM, SIGINT or SIGHUP leaves no scratch folder behind
// and ends by that signal, as it would have without one.
class VerifyInterrupted : public ::testing::TestWithParam<int> {};

TEST_P(VerifyInterrupted, LeavesNoScratchFolder) {
    QTemporaryDir dir;
    const QString scratch = dir.filePath(QStringLiteral("tmp"));
    ASSERT_TRUE(QDir().mkdir(scratch));
    const QString spin = dir.filePath(QStringLiteral("spin.asm"));
    writeAll(spin, ".include \"m328Pdef.inc\"\r\nloop:\r\n    NOP\r\n    RJMP loop\r\n");

    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("TMPDIR"), scratch);
    process.setProcessEnvironment(environment);
    // A shell may have passed on SIGINT ignored, which the CLI would keep.
    process.setChildProcessModifier([] {
        for (int signal : {SIGTERM, SIGINT, SIGHUP})
            std::signal(signal, SIG_DFL);
    });
    process.start(QStringLiteral(GLIMMERSET_CLI),
                  {QStringLiteral("verify"), QStringLiteral("--program"), spin,
                   QStringLiteral("--seconds"), QStringLiteral("60")});
    ASSERT_TRUE(process.waitForStarted());
    const auto folders = [&] {
        return QDir(scratch).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    };
    QElapsedTimer waited;
    waited.start();
    while (folders().isEmpty() && waited.elapsed() < 20000)
        QThread::msleep(5);
    ASSERT_FALSE(folders().isEmpty()) << "no scratch folder appeared";
    ::kill(pid_t(process.processId()), GetParam());
    ASSERT_TRUE(process.waitForFinished(20000));
    EXPECT_EQ(process.exitStatus(), QProcess::CrashExit);
    EXPECT_EQ(folders(), QStringList());
}

INSTANTIATE_TEST_SUITE_P(Signals, VerifyInterrupted, ::testing::Values(SIGTERM, SIGINT, SIGHUP),
                         [](const auto &info) { return std::string(sigabbrev_np(info.param)); });

struct PictureCase {
    const char *name;
    const char *lcd;
    QStringList arguments;
    TemplateEdit backpackEdit; // of the backpack's templates, when given
    bool backlight = true;
};

void PrintTo(const PictureCase &c, std::ostream *os) {
    *os << c.name;
}

const PictureCase kPictures[] = {
    {"16x2", "16x2", {}, nullptr},
    {"20x4", "20x4", {}, nullptr},
    {"8x1", "8x1", {}, nullptr},
    {"OnABackpack",
     "16x2",
     {QStringLiteral("--templates"), QStringLiteral("pcf8574"), QStringLiteral("--wiring"),
      QStringLiteral("i2c:0x27")},
     nullptr},
    {"OnABackpackWithTheBacklightOff",
     "16x2",
     {QStringLiteral("--wiring"), QStringLiteral("i2c:0x27")},
     [](QString &, QString &rest) {
         rest.replace(QStringLiteral(".equ LCD_BACKLIGHT = 0x08\r\n"),
                      QStringLiteral(".equ LCD_BACKLIGHT = 0x00\r\n"));
     },
     false},
};

class VerifyPng : public ::testing::TestWithParam<PictureCase> {};

// The picture's dots, read back with libpng, in the module's geometry:
// characters 0 to 7 on line 1 as the set draws them, everything else dark;
// the module dimmed when the backlight is off.
TEST_P(VerifyPng, DrawsTheSetFromCgram) {
    const PictureCase &c = GetParam();
    QTemporaryDir dir;
    const QString set = QStringLiteral(GLIMMERSET_SOURCE_DIR "/docs/example.ch");
    const QString png = dir.filePath(QStringLiteral("lcd.png"));
    QStringList arguments = QStringList{set, QStringLiteral("--png"), png, QStringLiteral("--lcd"),
                                        QLatin1String(c.lcd)} +
                            c.arguments;
    if (c.backpackEdit)
        arguments << QStringLiteral("--templates")
                  << templatesIn(dir, c.backpackEdit, QStringLiteral("pcf8574/"));
    const VerifyRun r = verify(arguments);
    ASSERT_EQ(r.exitCode, 0) << r.out.toStdString() << r.err.toStdString();
    const auto geometry = lcd::parseGeometry(c.lcd);
    ASSERT_TRUE(geometry);
    EXPECT_TRUE(r.out.contains(QStringLiteral("\nLine %1: \"").arg(geometry->lines)))
        << r.out.toStdString();

    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    ASSERT_TRUE(png_image_begin_read_from_file(&image, QFile::encodeName(png).constData()))
        << image.message;
    image.format = PNG_FORMAT_RGB;
    std::vector<std::uint8_t> pixels(PNG_IMAGE_SIZE(image));
    ASSERT_TRUE(png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) << image.message;
    using P = DisplayPicture;
    const P picture(*geometry);
    ASSERT_EQ(image.width, unsigned(picture.widthPx()));
    ASSERT_EQ(image.height, unsigned(picture.heightPx()));

    const GlyphFileContent content = glyphs_from_file(set);
    // Lit dots are dark: the centre of a dot is lit when its green is low.
    const auto lit = [&](int line, int column, int row, int dot) {
        const int x = P::dotX(column, dot) + P::kDotPx / 2;
        const int y = P::dotY(line, row) + P::kDotPx / 2;
        return pixels[(static_cast<std::size_t>(y) * image.width + x) * 3 + 1] < 100;
    };
    int litDots = 0;
    for (int line = 0; line < geometry->lines; ++line)
        for (int column = 0; column < geometry->columns; ++column)
            for (int row = 0; row < kRowCount; ++row)
                for (int dot = 0; dot < kColumnCount; ++dot) {
                    const bool want =
                        line == 0 && column < kGlyphCount && content.glyphs.isLit(row, dot, column);
                    EXPECT_EQ(lit(line, column, row, dot), want)
                        << "line " << line << " column " << column << " row " << row << " dot "
                        << dot;
                    litDots += want;
                }
    EXPECT_GT(litDots, 40);
    const std::uint8_t backgroundGreen = pixels[static_cast<std::size_t>(image.width + 1) * 3 + 1];
    EXPECT_EQ(backgroundGreen > 150, c.backlight) << int(backgroundGreen);
}

INSTANTIATE_TEST_SUITE_P(Lcd, VerifyPng, ::testing::ValuesIn(kPictures),
                         [](const auto &info) { return std::string(info.param.name); });

} // namespace
} // namespace glimmerset::test

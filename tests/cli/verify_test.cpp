#include "support/cli_process.h"
#include "support/chips.h"
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
#include <zlib.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <array>
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
        for (int r = 0; r < lcd::kGlyphRows; ++r)
            for (int c = 0; c < lcd::kGlyphColumns; ++c)
                glyphs.setPixel(r, c, g, fill(r, c, g));
    const QString path = dir.filePath(QStringLiteral("set.ch"));
    glyphs_to_file(path, defaultGlyphNames(), glyphs);
    return path;
}

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
    const auto index = chipIndex(chip) + static_cast<std::size_t>(mhz);
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
                         ::testing::Combine(::testing::ValuesIn(kProgramChips),
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

INSTANTIATE_TEST_SUITE_P(Matrix, OtherChip, ::testing::ValuesIn(kProgramChips),
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
    const auto index = chipIndex(chip) + static_cast<std::size_t>(mhz);
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
    ::testing::Combine(::testing::ValuesIn(kProgramChips.first(kProgramChips.size() - 1)),
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
     {QStringLiteral("\nFAILED: the program's stack reached data address 0xFFFF, past the "
                     "atmega328p's RAM (0x08FF): SP was never set")},
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
    // The glass's options are wrong usage before anything runs.
    {"ExpectLineOffTheModule",
     nullptr,
     nullptr,
     {QStringLiteral("--expect-line"), QStringLiteral("3"), QStringLiteral("Hi")},
     false,
     2,
     {},
     {QStringLiteral("--expect-line \"3\": the 16x2 module has lines 1 to 2.")}},
    {"RomNotBuiltIn",
     nullptr,
     nullptr,
     {QStringLiteral("--rom"), QStringLiteral("A02")},
     false,
     2,
     {},
     {QStringLiteral("\"A02\" is no character ROM verify has: A00 is the one built in.")}},
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

// Options and what a program names of itself, against the files in DIR: a
// .hex, ELFs built from a loop with and without a .mmcu section (a.out at
// 8 MHz, one clocked far too fast, one whose chip name is an escape
// sequence and a line break).
struct OptionCase {
    const char *name;
    QStringList arguments; // DIR is the folder of the files
    int exitCode;
    QStringList stdoutHas;
    QStringList stderrHas;
};

void PrintTo(const OptionCase &c, std::ostream *os) {
    *os << c.name;
}

class VerifyOptionFiles : public ::testing::TestWithParam<OptionCase> {
protected:
    static void SetUpTestSuite() {
        folder = new QTemporaryDir;
        const QString loop = folder->filePath(QStringLiteral("loop.c"));
        writeAll(loop, "#include <avr/io.h>\n#ifdef NAME\n#include <avr/avr_mcu_section.h>\n"
                       "AVR_MCU(HZ, NAME);\n#endif\nint main(void) { PORTB = 1; for (;;) {} }\n");
        const struct {
            const char *file;
            QStringList defines;
        } elfs[] = {
            {"plain.elf", {}},
            {"a.out", {QStringLiteral("-DNAME=\"atmega328p\""), QStringLiteral("-DHZ=8000000")}},
            {"fast.elf",
             {QStringLiteral("-DNAME=\"atmega328p\""), QStringLiteral("-DHZ=4294967295")}},
            {"evil.elf",
             {QStringLiteral("-DNAME=\"\\033[2J\\nOK\""), QStringLiteral("-DHZ=16000000")}},
        };
        for (const auto &elf : elfs) {
            QProcess gcc;
            gcc.start(QStringLiteral(GLIMMERSET_AVR_GCC),
                      QStringList{QStringLiteral("-mmcu=atmega328p"), QStringLiteral("-Os"),
                                  QStringLiteral("-I" GLIMMERSET_MMCU_INCLUDE),
                                  QStringLiteral("-o"), folder->filePath(QLatin1String(elf.file)),
                                  loop} +
                          elf.defines);
            ASSERT_TRUE(gcc.waitForFinished(60000));
            ASSERT_EQ(gcc.exitCode(), 0) << gcc.readAll().toStdString();
        }
        writeAll(folder->filePath(QStringLiteral("a.hex")), ":020000000FCF20\r\n:00000001FF\r\n");
        QDir(folder->path()).mkdir(QStringLiteral("lib"));
        writeAll(folder->filePath(QStringLiteral("lib/loop.inc")), "loop:\r\n    RJMP loop\r\n");
        writeAll(folder->filePath(QStringLiteral("uses.asm")),
                 ".include \"m328Pdef.inc\"\r\n.include \"loop.inc\"\r\n");
        writeAll(folder->filePath(QStringLiteral("a.bin")), "\x0F\xCF");
    }
    static void TearDownTestSuite() { delete folder; }
    static inline QTemporaryDir *folder = nullptr;
};

TEST_P(VerifyOptionFiles, AreReadAsTheySay) {
    const OptionCase &c = GetParam();
    QStringList arguments;
    for (const QString &argument : c.arguments)
        arguments << QString(argument).replace(QStringLiteral("DIR"), folder->path());
    const VerifyRun r = verify(arguments);
    ASSERT_EQ(r.exitCode, c.exitCode) << r.out.toStdString() << r.err.toStdString();
    for (const QString &part : c.stdoutHas)
        EXPECT_TRUE(r.out.contains(part)) << part.toStdString() << " in\n" << r.out.toStdString();
    for (const QString &part : c.stderrHas)
        EXPECT_TRUE(r.err.contains(QString(part).replace(QStringLiteral("%1"), folder->path())))
            << part.toStdString() << " in\n"
            << r.err.toStdString();
    // Nothing from a file or an argument reaches the terminal raw.
    EXPECT_FALSE(r.out.contains(QChar(0x1B)) || r.err.contains(QChar(0x1B)));
}

const OptionCase kOptionCases[] = {
    {"NeitherAsmHexNorElf",
     {"--program", "DIR/a.bin"},
     2,
     {},
     {"--program takes an .asm, .hex or ELF file, not \"%1/a.bin\"."}},
    {"HexWithoutChip",
     {"--program", "DIR/a.hex"},
     2,
     {},
     {"verify: \"%1/a.hex\" doesn't name its chip: give --mcu or --board.\n"}},
    {"ElfWithoutChip",
     {"--program", "DIR/plain.elf"},
     2,
     {},
     {"verify: \"%1/plain.elf\" doesn't name its chip: give --mcu or --board.\n"}},
    {"ElfByItsMagic",
     {"--program", "DIR/a.out"},
     1,
     {"Board: atmega328p at 8 MHz, 16x2 LCD at 5 V on B:0,1,2,3,4,5,low\n"},
     {}},
    {"ClockOtherThanTheElfs",
     {"--program", "DIR/a.out", "--clock", "16"},
     1,
     {"Note: the ELF's .mmcu section names 8 MHz, the simulated clock is 16 MHz (--clock).\n"
      "Board: atmega328p at 16 MHz"},
     {}},
    {"ElfClockOutOfRange",
     {"--program", "DIR/fast.elf"},
     1,
     {},
     {"names a clock of 4294.97 MHz in its .mmcu section; a chip runs at 0.001 to 100 MHz: "
      "give --clock."}},
    {"ChipNameFromAnElf",
     {"--program", "DIR/evil.elf"},
     1,
     {},
     {"simavr has no core named \"\\x1B[2J\\x0AOK\" for the ELF's .mmcu section"}},
    {"PathInALoadError", {"--program", "DIR/\x1B]0;x\a.asm"}, 1, {}, {"\\x1B]0;x\\x07.asm\""}},
    {"OptionValue",
     {"--program", "DIR/a.hex", "--mcu", "\x1B[31m"},
     2,
     {},
     {"named \"\\x1B[31m\"."}},
    {"EmptyPng", {"--program", "DIR/a.hex", "--png", ""}, 2, {}, {"--png needs a value"}},
    {"UnknownBoard",
     {"--program", "DIR/a.hex", "--board", "due"},
     2,
     {},
     {"no board \"due\"; the boards are uno,"}},
    {"IncludeFolder",
     {"--program", "DIR/uses.asm", "-I", "DIR/lib"},
     1,
     {"\nLoop: reached after "},
     {}},
    {"IncludeForAHex",
     {"--program", "DIR/a.hex", "-I", "DIR"},
     2,
     {},
     {"-I is for the .include lines"}},
};

INSTANTIATE_TEST_SUITE_P(Cases, VerifyOptionFiles, ::testing::ValuesIn(kOptionCases),
                         [](const auto &info) { return std::string(info.param.name); });

// Each board's chip, clock and supply, and its pin numbers for the
// templates' B:0,1,2,3,4,5,low.
TEST(Verify, BoardsSetChipClockSupplyAndPinNumbers) {
    const struct {
        const char *board;
        const char *pins;
        const char *board_line;
    } boards[] = {
        {"uno", "arduino:12,13,8,9,10,11", "Board: atmega328p at 16 MHz, 16x2 LCD at 5 V"},
        {"nano", "arduino:12,13,8,9,10,11", "Board: atmega328p at 16 MHz, 16x2 LCD at 5 V"},
        {"mega", "arduino:10,11,53,52,51,50", "Board: atmega2560 at 16 MHz, 16x2 LCD at 5 V"},
        {"leonardo", "arduino:8,9,17,15,16,14", "Board: atmega32u4 at 16 MHz, 16x2 LCD at 5 V"},
        {"promini", "arduino:12,13,8,9,10,11", "Board: atmega328p at 8 MHz, 16x2 LCD at 3.3 V"},
    };
    for (const auto &b : boards) {
        const VerifyRun r = verify({QStringLiteral(GLIMMERSET_SOURCE_DIR "/docs/example.ch"),
                                    QStringLiteral("--board"), QLatin1String(b.board),
                                    QStringLiteral("--wiring"), QLatin1String(b.pins)});
        EXPECT_EQ(r.exitCode, 0) << b.board << r.out.toStdString() << r.err.toStdString();
        EXPECT_TRUE(
            r.out.contains(QLatin1String(b.board_line) + QStringLiteral(" on B:0,1,2,3,4,5,low\n")))
            << b.board << ": " << r.out.toStdString();
    }
}

// The backpack's templates bring their wiring: the expander at their
// LCD_I2C_ADDRESS.
TEST(Verify, BackpackTemplatesNeedNoWiring) {
    const VerifyRun r = verify({QStringLiteral(GLIMMERSET_SOURCE_DIR "/docs/example.ch"),
                                QStringLiteral("--templates"), QStringLiteral("pcf8574")});
    EXPECT_EQ(r.exitCode, 0) << r.out.toStdString() << r.err.toStdString();
    EXPECT_TRUE(r.out.contains(QStringLiteral("LCD at 5 V on i2c:0x27, a PCF8574 backpack")))
        << r.out.toStdString();
}

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

// glyphs.h from the set, then the program built into app.elf with more
// -D definitions; false when avr-gcc fails.
bool buildCProgram(const QTemporaryDir &dir, const QString &set, const QStringList &defines) {
    const GlyphSet glyphs = glyphs_from_file(set).glyphs;
    QByteArray header = "#include <avr/pgmspace.h>\nconst uint8_t glyphs[64] PROGMEM = {";
    for (int g = 0; g < kGlyphCount; ++g)
        for (int r = 0; r < lcd::kGlyphRows; ++r) {
            int row = 0;
            for (int column = 0; column < lcd::kGlyphColumns; ++column)
                row |= glyphs.isLit(r, column, g) ? 0x10 >> column : 0;
            header += QByteArray::number(row) + ',';
        }
    writeAll(dir.filePath(QStringLiteral("glyphs.h")), header + "};\n");

    QProcess gcc;
    QStringList arguments{QStringLiteral("-mmcu=atmega328p"),
                          QStringLiteral("-DF_CPU=16000000UL"),
                          QStringLiteral("-Os"),
                          QStringLiteral("-Wall"),
                          QStringLiteral("-Werror"),
                          QStringLiteral("-I" GLIMMERSET_MMCU_INCLUDE),
                          QStringLiteral("-I") + dir.path(),
                          QStringLiteral("-o"),
                          dir.filePath(QStringLiteral("app.elf")),
                          QStringLiteral(GLIMMERSET_SOURCE_DIR "/tests/cli/programs/lcd_glyphs.c")};
    for (const QString &define : defines)
        arguments << QStringLiteral("-D") + define;
    gcc.start(QStringLiteral(GLIMMERSET_AVR_GCC), arguments);
    gcc.waitForFinished(60000);
    EXPECT_EQ(gcc.exitCode(), 0) << gcc.readAll().toStdString();
    return gcc.exitStatus() == QProcess::NormalExit && gcc.exitCode() == 0;
}

TEST_P(VerifyCProgram, HoldsTheSetAndShowsTheLine) {
    const CProgramCase &c = GetParam();
    QTemporaryDir dir;
    const QString set = setFile(dir, kSets[0]);
    ASSERT_TRUE(buildCProgram(
        dir, set, {QStringLiteral("LCD_LINE_ADDRESS=") + QLatin1String(c.lineAddress)}));

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

// A run ended by a signal that ends a process leaves no scratch folder behind
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
        for (int signal : {SIGTERM, SIGINT, SIGHUP, SIGQUIT, SIGUSR1, SIGALRM})
            std::signal(signal, SIG_DFL);
        const rlimit noCore{0, 0};
        setrlimit(RLIMIT_CORE, &noCore);
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

INSTANTIATE_TEST_SUITE_P(Signals, VerifyInterrupted,
                         ::testing::Values(SIGTERM, SIGINT, SIGHUP, SIGQUIT, SIGUSR1, SIGALRM),
                         [](const auto &info) { return std::string(sigabbrev_np(info.param)); });

// The children of this process, from /proc.
QList<pid_t> childrenOf(pid_t parent) {
    QList<pid_t> children;
    for (const QString &entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        const QByteArray stat = readAll(QStringLiteral("/proc/%1/stat").arg(entry));
        // "pid (comm) state ppid ...": comm may hold blanks and parentheses.
        const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 1 && fields[1].toInt() == parent)
            children << entry.toInt();
    }
    return children;
}

bool gone(pid_t pid) {
    const QByteArray stat = readAll(QStringLiteral("/proc/%1/stat").arg(pid));
    return stat == "(unreadable)" || stat.mid(stat.lastIndexOf(')') + 2, 1) == "Z";
}

// SIGKILL can't be caught: avra, blocked on an .include of a FIFO nobody
// writes, dies with verify all the same, and the next verify removes the
// scratch folder left behind.
TEST(Verify, LeavesNoOrphanAfterSigkill) {
    QTemporaryDir dir;
    const QString scratch = dir.filePath(QStringLiteral("tmp"));
    ASSERT_TRUE(QDir().mkdir(scratch));
    ASSERT_EQ(mkfifo(QFile::encodeName(dir.filePath(QStringLiteral("fifo.inc"))).constData(), 0600),
              0);
    const QString blocked = dir.filePath(QStringLiteral("blocked.asm"));
    writeAll(blocked, ".include \"m328Pdef.inc\"\r\n.include \"fifo.inc\"\r\n");
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("TMPDIR"), scratch);

    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(GLIMMERSET_CLI),
                  {QStringLiteral("verify"), QStringLiteral("--program"), blocked});
    ASSERT_TRUE(process.waitForStarted());
    QList<pid_t> avra;
    QElapsedTimer waited;
    waited.start();
    while (avra.isEmpty() && waited.elapsed() < 20000) {
        QThread::msleep(10);
        avra = childrenOf(pid_t(process.processId()));
    }
    ASSERT_EQ(avra.size(), 1) << "avra never started";
    ::kill(pid_t(process.processId()), SIGKILL);
    ASSERT_TRUE(process.waitForFinished(20000));
    waited.restart();
    while (!gone(avra[0]) && waited.elapsed() < 20000)
        QThread::msleep(10);
    EXPECT_TRUE(gone(avra[0])) << "avra outlived verify";
    const auto folders = [&] {
        return QDir(scratch).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    };
    EXPECT_EQ(folders().size(), 1) << "no scratch folder was left to remove";

    const QString quick = dir.filePath(QStringLiteral("quick.asm"));
    writeAll(quick, ".include \"m328Pdef.inc\"\r\nloop:\r\n    RJMP loop\r\n");
    QProcess next;
    next.setProcessEnvironment(environment);
    next.start(QStringLiteral(GLIMMERSET_CLI),
               {QStringLiteral("verify"), QStringLiteral("--program"), quick});
    ASSERT_TRUE(next.waitForFinished(20000));
    EXPECT_EQ(folders(), QStringList());
}

// Without a usable TMPDIR the scratch folder goes to /tmp, never to /.
TEST(Verify, ScratchFolderWithoutTmpdir) {
    for (const char *tmpdir : {"", "/nonexistent/folder"}) {
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("TMPDIR"), QLatin1String(tmpdir));
        process.setProcessEnvironment(environment);
        process.start(
            QStringLiteral(GLIMMERSET_CLI),
            {QStringLiteral("verify"), QStringLiteral(GLIMMERSET_SOURCE_DIR "/docs/example.ch")});
        ASSERT_TRUE(process.waitForFinished(20000));
        EXPECT_EQ(process.exitCode(), 0) << tmpdir << process.readAllStandardError().toStdString();
    }
}

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
            for (int row = 0; row < lcd::kGlyphRows; ++row)
                for (int dot = 0; dot < lcd::kGlyphColumns; ++dot) {
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

struct Picture {
    unsigned width = 0;
    unsigned height = 0;
    std::vector<std::uint8_t> rgb;

    // Whether the dot of a cell is lit: dark at its centre.
    bool lit(int line, int column, int row, int dot) const {
        using P = DisplayPicture;
        const int x = P::dotX(column, dot) + P::kDotPx / 2;
        const int y = P::dotY(line, row) + P::kDotPx / 2;
        return rgb[(static_cast<std::size_t>(y) * width + x) * 3 + 1] < 100;
    }
    // A cell's rows as the bits of its lit dots, bit 4 the leftmost.
    std::array<int, 8> cell(int line, int column) const {
        std::array<int, 8> rows{};
        for (int row = 0; row < 8; ++row)
            for (int dot = 0; dot < 5; ++dot)
                rows[row] |= lit(line, column, row, dot) ? 0x10 >> dot : 0;
        return rows;
    }
};

Picture decodePng(const QByteArray &bytes) {
    Picture picture;
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, bytes.constData(), bytes.size())) {
        ADD_FAILURE() << image.message;
        return picture;
    }
    image.format = PNG_FORMAT_RGB;
    picture.rgb.resize(PNG_IMAGE_SIZE(image));
    EXPECT_TRUE(png_image_finish_read(&image, nullptr, picture.rgb.data(), 0, nullptr))
        << image.message;
    picture.width = image.width;
    picture.height = image.height;
    return picture;
}

std::uint32_t be32(const char *at) {
    const auto *b = reinterpret_cast<const unsigned char *>(at);
    return std::uint32_t(b[0]) << 24 | b[1] << 16 | b[2] << 8 | b[3];
}

// An APNG's frames, each rebuilt into a PNG of its own for libpng to
// decode, and their delays in seconds; the chunks' CRCs checked.
struct Movie {
    std::uint32_t announced = 0; // acTL's frame count
    std::vector<double> delays;
    Picture still; // what viewers without APNG show
    std::vector<Picture> frames;
};

Movie decodeApng(const QByteArray &file) {
    Movie movie;
    const auto chunk = [](const char *type, const QByteArray &data) {
        QByteArray bytes;
        for (int shift = 24; shift >= 0; shift -= 8)
            bytes += char(std::uint32_t(data.size()) >> shift & 0xFF);
        const QByteArray body = QByteArray(type, 4) + data;
        const std::uint32_t crc = std::uint32_t(
            crc32(0, reinterpret_cast<const Bytef *>(body.constData()), uInt(body.size())));
        bytes += body;
        for (int shift = 24; shift >= 0; shift -= 8)
            bytes += char(crc >> shift & 0xFF);
        return bytes;
    };
    const QByteArray signature("\x89PNG\r\n\x1A\n", 8);
    EXPECT_TRUE(file.startsWith(signature));
    QByteArray header;
    QByteArray still;
    std::vector<QByteArray> data;
    for (qsizetype at = 8; at + 12 <= file.size();) {
        const qsizetype length = be32(file.constData() + at);
        const QByteArray type = file.mid(at + 4, 4);
        const QByteArray body = file.mid(at + 8, length);
        EXPECT_EQ(file.mid(at, length + 12), chunk(type.constData(), body))
            << "CRC of " << type.toStdString();
        at += length + 12;
        if (type == "IHDR")
            header = body;
        else if (type == "acTL")
            movie.announced = be32(body.constData());
        else if (type == "fcTL") {
            movie.delays.push_back(double((unsigned char)body[20] << 8 | (unsigned char)body[21]) /
                                   double((unsigned char)body[22] << 8 | (unsigned char)body[23]));
            data.emplace_back();
        } else if (type == "IDAT") {
            (data.empty() ? still : data.back()) += body;
        } else if (type == "fdAT") {
            data.back() += body.mid(4);
        }
    }
    const auto png = [&](const QByteArray &idat) {
        return decodePng(signature + chunk("IHDR", header) + chunk("IDAT", idat) +
                         chunk("IEND", {}));
    };
    movie.still = png(still);
    for (const QByteArray &frame : data)
        movie.frames.push_back(png(frame));
    return movie;
}

// The datasheet's patterns for the few ROM codes the programs show.
constexpr std::array<int, 8> kRomH{0x11, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x11, 0};
constexpr std::array<int, 8> kRomDegree{0x1C, 0x14, 0x1C, 0, 0, 0, 0, 0};
constexpr std::array<int, 8> kBlank{};

// The C program of our own printing text, a counter, a degree sign and the
// glyphs, with the cursor on, or animating a bar graph in glyph 0: the
// report's lines, the expectations, the picture and the movie read back.
struct DisplayCase {
    const char *name;
    QStringList defines;
    QStringList arguments; // "DIR" stands for the case's folder, "SET" for the set
    int exitCode;
    QStringList stdoutHas;
    std::function<void(const QTemporaryDir &dir, const GlyphSet &set)> check;
};

void PrintTo(const DisplayCase &c, std::ostream *os) {
    *os << c.name;
}

Picture pictureIn(const QTemporaryDir &dir) {
    return decodePng(readAll(dir.filePath(QStringLiteral("lcd.png"))));
}

std::array<int, 8> glyphRows(const GlyphSet &set, int glyph) {
    std::array<int, 8> rows{};
    for (int row = 0; row < 8; ++row)
        for (int dot = 0; dot < 5; ++dot)
            rows[row] |= set.isLit(row, dot, glyph) ? 0x10 >> dot : 0;
    return rows;
}

const QString kCounter = QStringLiteral("LCD_COUNT_TO=89");

const DisplayCase kDisplayCases[] = {
    {"TextCounterAndGlyphs",
     {kCounter},
     {QStringLiteral("SET"), QStringLiteral("--png"), QStringLiteral("DIR/lcd.png"),
      QStringLiteral("--expect-line"), QStringLiteral("1"), QStringLiteral("Hi 00089°C   "),
      QStringLiteral("--expect-line"), QStringLiteral("2"),
      QStringLiteral("Hi {0}{1}{2}{3}{4}{5}{6}{7}")},
     0,
     {QStringLiteral(
          "\nLine 1: \"Hi 00089°C      \"\nLine 2: \"Hi {0}{1}{2}{3}{4}{5}{6}{7}     \"\n"),
      QStringLiteral("\nExpected line 1 at the end ("), QStringLiteral("): shown \"Hi 00089°C\"\n"),
      QStringLiteral("\nOK\n")},
     [](const QTemporaryDir &dir, const GlyphSet &set) {
         const Picture picture = pictureIn(dir);
         EXPECT_EQ(picture.cell(0, 0), kRomH);
         EXPECT_EQ(picture.cell(0, 8), kRomDegree);
         EXPECT_EQ(picture.cell(0, 15), kBlank);
         EXPECT_EQ(picture.cell(1, 3), glyphRows(set, 0));
         EXPECT_EQ(picture.cell(1, 10), glyphRows(set, 7));
     }},
    {"BlankBeforeTheProgramSwitchesTheDisplayOn",
     {kCounter},
     {QStringLiteral("--expect-at"), QStringLiteral("30"), QStringLiteral("--expect-line"),
      QStringLiteral("1"), QStringLiteral("")},
     0,
     {QStringLiteral("\nExpected line 1 at 30.0 ms: shown \"\"\n")},
     nullptr},
    // With a set and expectations both must hold.
    {"ExpectationAndSetFail",
     {kCounter},
     {QStringLiteral("OTHER_SET"), QStringLiteral("--expect-line"), QStringLiteral("1"),
      QStringLiteral("Hi 00042°C")},
     1,
     {QStringLiteral("\nExpected line 1 at the end ("),
      QStringLiteral("): differs from column 7\n    expected \"Hi 00042°C\"\n"
                     "    shown    \"Hi 00089°C\"\n                    ^\n"),
      QStringLiteral("\nFAILED: CGRAM does not hold the set; line 1 is not as expected\n")},
     nullptr},
    {"CursorOn",
     {QStringLiteral("LCD_DISPLAY_CONTROL=0x0E")},
     {QStringLiteral("SET"), QStringLiteral("--png"), QStringLiteral("DIR/lcd.png")},
     0,
     {QStringLiteral("\nOK\n")},
     [](const QTemporaryDir &dir, const GlyphSet &) {
         // After "Hi " and the eight glyphs on line 2.
         EXPECT_EQ(pictureIn(dir).cell(1, 11), (std::array<int, 8>{0, 0, 0, 0, 0, 0, 0, 0x1F}));
     }},
    // Blank until the text, the text with an empty bar (glyph 0 redefined
    // at once), then a frame for each column lit, 100 ms apart, played at
    // twice the speed.
    {"BarGraphMovie",
     {QStringLiteral("LCD_BAR_GRAPH")},
     {QStringLiteral("--movie"), QStringLiteral("DIR/bar.png"), QStringLiteral("--movie-speed"),
      QStringLiteral("2")},
     0,
     {QStringLiteral("\nMovie: 7 frames\n"), QStringLiteral("\nOK\n")},
     [](const QTemporaryDir &dir, const GlyphSet &) {
         const Movie movie = decodeApng(readAll(dir.filePath(QStringLiteral("bar.png"))));
         ASSERT_EQ(movie.frames.size(), 7u);
         EXPECT_EQ(movie.announced, 7u);
         EXPECT_NEAR(movie.delays[3], 0.05, 0.002);
         for (int lit = 0; lit <= 5; ++lit) {
             const int row = (0x1F << (5 - lit)) & 0x1F;
             EXPECT_EQ(movie.frames[lit + 1].cell(0, 15),
                       (std::array<int, 8>{row, row, row, row, row, row, row, row}))
                 << lit << " columns";
             EXPECT_EQ(movie.frames[lit + 1].cell(1, 3), movie.frames[lit + 1].cell(0, 15));
         }
         EXPECT_EQ(movie.frames[0].cell(1, 0), kBlank);
         EXPECT_EQ(movie.frames[1].cell(1, 0), kRomH);
         EXPECT_EQ(movie.still.rgb, movie.frames.back().rgb);
     }},
};

class VerifyDisplay : public ::testing::TestWithParam<DisplayCase> {};

TEST_P(VerifyDisplay, ShowsWhatTheGlassShows) {
    const DisplayCase &c = GetParam();
    QTemporaryDir dir;
    QTemporaryDir other;
    const QString set = setFile(dir, kSets[0]);
    ASSERT_TRUE(buildCProgram(dir, set, c.defines));
    QStringList arguments{QStringLiteral("--program"), dir.filePath(QStringLiteral("app.elf"))};
    for (const QString &argument : c.arguments)
        arguments << (argument == QLatin1String("SET") ? set
                      : argument == QLatin1String("OTHER_SET")
                          ? setFile(other, kSets[2])
                          : QString(argument).replace(QStringLiteral("DIR"), dir.path()));
    const VerifyRun r = verify(arguments);
    ASSERT_EQ(r.exitCode, c.exitCode) << r.out.toStdString() << r.err.toStdString();
    for (const QString &part : c.stdoutHas)
        EXPECT_TRUE(r.out.contains(part)) << part.toStdString() << " in\n" << r.out.toStdString();
    if (c.check)
        c.check(dir, glyphs_from_file(set).glyphs);
}

INSTANTIATE_TEST_SUITE_P(Programs, VerifyDisplay, ::testing::ValuesIn(kDisplayCases),
                         [](const auto &info) { return std::string(info.param.name); });

} // namespace
} // namespace glimmerset::test

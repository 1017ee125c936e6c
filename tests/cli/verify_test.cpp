#include "support/file_bytes.h"

#include "simulation/display_picture.h"
#include "storage/glyph_file.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <png.h>

#include <functional>
#include <vector>

namespace glimmerset::test {
namespace {

struct CliRun {
    int exitCode = -1;
    QString out;
    QString err;
};

CliRun verify(const QStringList &arguments) {
    QProcess process;
    process.start(QStringLiteral(GLIMMERSET_CLI),
                  QStringList{QStringLiteral("verify")} + arguments);
    CliRun result;
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit)
        return result;
    result.exitCode = process.exitCode();
    result.out = QString::fromLocal8Bit(process.readAllStandardOutput());
    result.err = QString::fromLocal8Bit(process.readAllStandardError());
    return result;
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
    const CliRun r =
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
    const CliRun r =
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

struct BrokenCase {
    const char *name;
    TemplateEdit edit;
    int exitCode;
    QStringList stdoutHas;
    QStringList stderrHas;
    QString set = {}; // "pcf8574/" for the backpack's templates
    QStringList arguments = {};
};

void PrintTo(const BrokenCase &c, std::ostream *os) {
    *os << c.name;
}

void removeAll(QString &text, const char *line) {
    text.remove(QLatin1String(line) + QLatin1String("\r\n"));
}

const QString kBackpackSet = QStringLiteral("pcf8574/");
const QStringList kOnTheBackpack = {QStringLiteral("--wiring"), QStringLiteral("i2c:0x27")};

const BrokenCase kBroken[] = {
    {"DriverWithoutDelays",
     [](QString &, QString &rest) {
         removeAll(rest, "    RCALL lcd_wait_access");
         removeAll(rest, "    RCALL lcd_wait_ms");
     },
     1,
     {QStringLiteral("while the controller is busy until"), QStringLiteral("(power-on)"),
      QStringLiteral("FAILED: the bus timing was broken")},
     {}},
    {"NoDdramAddressBeforeTheCharacters",
     [](QString &main, QString &) {
         main.replace(QStringLiteral("    LDI mp0,0x80\r\n    RCALL lcd_fc\r\n"), QString());
     },
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
     0,
     {QStringLiteral("Warning: 71 accesses too early for the slower clones"),
      QStringLiteral("\nOK\n")},
     {}},
    {"CommaAfterAMnemonicNotJoined",
     [](QString &, QString &rest) {
         rest.replace(QStringLiteral("    PUSH r18\r\n    POP r17\r\n    LSR r17\r\n"),
                      QStringLiteral("    MOV r17,r18\r\n    LSR r17\r\n"));
     },
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
     1,
     {},
     {QStringLiteral(": reset: LDI mp0\n"), QStringLiteral(">"),
      QStringLiteral(": LOW(RAMEND)\n")}},
    {"BackpackAtAnotherAddress",
     [](QString &, QString &rest) {
         rest.replace(QStringLiteral(".equ LCD_I2C_ADDRESS = 0x27\r\n"),
                      QStringLiteral(".equ LCD_I2C_ADDRESS = 0x3F\r\n"));
     },
     1,
     {QStringLiteral("\nBus timing: no access seen"),
      QStringLiteral("\n    no device answered at 0x3F (the LCD's backpack is at 0x27) ("),
      QStringLiteral("\nFAILED: CGRAM does not hold the set; no access seen on the wired pins; "
                     "the I2C bus broke the PCF8574's rules\n")},
     {},
     kBackpackSet,
     kOnTheBackpack},
    {"BackpackSclOver100kHz",
     [](QString &, QString &rest) {
         rest.replace(QStringLiteral(".equ LCD_TWI_BITRATE = (LCD_CLOCK_MHZ*10-16+1)/2\r\n"),
                      QStringLiteral(".equ LCD_TWI_BITRATE = 12\r\n"));
     },
     1,
     {QStringLiteral("\n    SCL at 400.0 kHz (TWBR 12, prescaler 1 at 16 MHz) for "),
      QStringLiteral(" bytes: the PCF8574 takes 100 kHz at most\n"),
      QStringLiteral("the I2C bus broke the PCF8574's rules\n")},
     {},
     kBackpackSet,
     kOnTheBackpack},
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
     0,
     {QStringLiteral(" reads, none while busy"), QStringLiteral("\nLoop: reached after "),
      QStringLiteral("\nOK\n")},
     {},
     kBackpackSet,
     kOnTheBackpack},
    {"BackpackWithAnotherMapping",
     [](QString &, QString &rest) {
         rest.replace(QStringLiteral(".equ LCD_RS = 0x01\r\n"),
                      QStringLiteral(".equ LCD_RS = 0x02\r\n"));
         rest.replace(QStringLiteral(".equ LCD_E = 0x04\r\n"),
                      QStringLiteral(".equ LCD_E = 0x01\r\n"));
     },
     0,
     {QStringLiteral("LCD at 5 V on i2c:0x27:rs=1,rw=2,e=0,bl=3,d4=4,d5=5,d6=6,d7=7, a PCF8574 "
                     "backpack on the TWI (P0 E, P1 RS, P2 RW, P3 backlight, P4 D4,"),
      QStringLiteral("\nLine 1: \"{0}{1}{2}{3}{4}{5}{6}{7}        \"\n"), QStringLiteral("\nOK\n")},
     {},
     kBackpackSet,
     {QStringLiteral("--wiring"),
      QStringLiteral("i2c:0x27:rs=1,rw=2,e=0,bl=3,d4=4,d5=5,d6=6,d7=7")}},
};

class VerifyFails : public ::testing::TestWithParam<BrokenCase> {};

TEST_P(VerifyFails, SaysWhy) {
    const BrokenCase &c = GetParam();
    QTemporaryDir dir;
    const QString templates = templatesIn(dir, c.edit, c.set);
    const CliRun r = verify(QStringList{QStringLiteral(GLIMMERSET_SOURCE_DIR "/docs/example.ch"),
                                        QStringLiteral("--templates"), templates} +
                            c.arguments);
    ASSERT_EQ(r.exitCode, c.exitCode) << r.out.toStdString() << r.err.toStdString();
    for (const QString &part : c.stdoutHas)
        EXPECT_TRUE(r.out.contains(part)) << part.toStdString() << " in\n" << r.out.toStdString();
    for (const QString &part : c.stderrHas)
        EXPECT_TRUE(r.err.contains(part)) << part.toStdString() << " in\n" << r.err.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Templates, VerifyFails, ::testing::ValuesIn(kBroken),
                         [](const auto &info) { return std::string(info.param.name); });

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
    const CliRun r = verify(arguments);
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

#include "../core/file_bytes.h"

#include "storage/glyph_file.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>

namespace glimmerset::test {
namespace {

struct CliRun {
    int exitCode = -1;
    QByteArray out;
    QString err;
};

CliRun run(const QStringList &arguments, const QString &workingDir,
           const QProcessEnvironment &env = {}) {
    QProcess process;
    process.setWorkingDirectory(workingDir);
    if (!env.isEmpty())
        process.setProcessEnvironment(env);
    process.start(QStringLiteral(GLIMMERSET_CLI), arguments);
    CliRun result;
    if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit)
        return result;
    result.exitCode = process.exitCode();
    result.out = process.readAllStandardOutput();
    result.err = QString::fromLocal8Bit(process.readAllStandardError());
    return result;
}

QString sourceFile(const char *relative) {
    return QStringLiteral(GLIMMERSET_SOURCE_DIR "/") + QLatin1String(relative);
}

struct FailureCase {
    const char *name;
    QStringList arguments;
    int exitCode;
    QStringList stderrHas; // %1 stands for the temporary folder
};

void PrintTo(const FailureCase &c, std::ostream *os) {
    *os << c.name;
}

class CliFailure : public ::testing::TestWithParam<FailureCase> {};

// Every failure says why on stderr, leaves stdout empty and writes no file.
TEST_P(CliFailure, ExitsWithItsCodeSaysWhyAndWritesNothing) {
    QTemporaryDir dir;
    QByteArray truncated = readAll(sourceFile("docs/example.ch"));
    truncated.truncate(truncated.indexOf("\r\n", 200));
    writeAll(dir.filePath(QStringLiteral("cut.ch")), truncated);
    writeAll(dir.filePath(QStringLiteral("wide.c")), "byte a[8] = {0x1F,\n 0x20};\n");
    QFile::copy(sourceFile("docs/example.ch"), dir.filePath(QStringLiteral("set.ch")));
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("empty")));

    const FailureCase &c = GetParam();
    const CliRun r = run(c.arguments, dir.path());
    EXPECT_EQ(r.exitCode, c.exitCode) << r.err.toStdString();
    EXPECT_TRUE(r.out.isEmpty()) << r.out.toStdString();
    for (const QString &part : c.stderrHas)
        EXPECT_TRUE(r.err.contains(part.arg(dir.path())))
            << "stderr lacks " << part.toStdString() << ":\n"
            << r.err.toStdString();
    EXPECT_FALSE(QFileInfo::exists(dir.filePath(QStringLiteral("out.inc"))));
}

const FailureCase kFailures[] = {
    {"MissingSet", {"code", "none.ch", "-o", "out.inc"}, 1, {"\"none.ch\"", "No such file"}},
    {"TruncatedSet",
     {"code", "cut.ch", "-o", "out.inc"},
     1,
     {"\"cut.ch\", line 38: the file ends"}},
    {"TruncatedSetShown", {"show", "cut.ch"}, 1, {"\"cut.ch\", line 38"}},
    {"MissingTestProgram",
     {"code", "set.ch", "--test-program", "--templates", "empty", "-o", "out.inc"},
     1,
     {"File: Main.asm doesn't exist!!!\n", "main.asm"}},
    {"MissingRest",
     {"code", "set.ch", "--rest", "--templates", "empty", "-o", "out.inc"},
     1,
     {"File: rest.asm doesn't exist!!!\n"}},
    {"UnknownOption", {"code", "set.ch", "--bogus", "-o", "out.inc"}, 2, {"bogus", "--help"}},
    {"NoSet", {"code", "-o", "out.inc"}, 2, {"glyph file"}},
    {"TwoSets", {"code", "set.ch", "set.ch", "-o", "out.inc"}, 2, {"unexpected argument"}},
    {"UnknownForm",
     {"code", "set.ch", "--form", "pascal", "-o", "out.inc"},
     2,
     {"no form \"pascal\"", "asm, asm-table, c, arduino", "code --help"}},
    {"TemplatesAroundC",
     {"code", "set.ch", "--form", "c", "--rest", "-o", "out.inc"},
     2,
     {"--test-program and --rest go with the forms asm and asm-table"}},
    {"ImportMissing", {"import", "none.c", "-o", "out.inc"}, 1, {"\"none.c\"", "No such file"}},
    {"ImportBitsAboveTheFifth",
     {"import", "wide.c", "-o", "out.inc"},
     1,
     {"\"wide.c\", line 2: 0x20 has bits above the fifth"}},
    {"ImportNothing", {"import"}, 2, {"import: a source file is needed"}},
    {"CheckMissingTemplates",
     {"check-templates", "--templates", "empty"},
     1,
     {"\"empty/main.asm\" for reading: No such file", "\"empty/rest.asm\" for reading"}},
    {"UnknownCommand", {"make", "set.ch"}, 2, {"Unknown command \"make\""}},
    {"NoCommand", {}, 2, {"A command is needed"}},
};

INSTANTIATE_TEST_SUITE_P(Cases, CliFailure, ::testing::ValuesIn(kFailures),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(Cli, ShowDrawsEachGlyphUnderItsName) {
    const CliRun r = run({QStringLiteral("show"), sourceFile("docs/example.ch")}, QDir::tempPath());
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.startsWith(
        "1.Char Arrow\n..#..\n.#...\n#####\n.#...\n..#..\n.....\n.....\n.....\n\n2.Char Heart\n"))
        << r.out.toStdString();
    EXPECT_EQ(r.out.count('\n'), 8 * 9 + 7);
}

// A name that would end its comment line: the code carries ? and says so,
// show spells the name out instead of sending the escape to the terminal.
TEST(Cli, NamesWithControlCharactersAreNamedNotSent) {
    QTemporaryDir dir;
    GlyphNames names = defaultGlyphNames();
    names[2] = QStringLiteral("Bell") + QChar(0) + QStringLiteral("\x1B[2J");
    glyphs_to_file(dir.filePath(QStringLiteral("set.ch")), names, GlyphSet());
    const CliRun code = run({QStringLiteral("code"), QStringLiteral("set.ch")}, dir.path());
    EXPECT_EQ(code.exitCode, 0);
    EXPECT_TRUE(code.out.contains("\r\n;Bell??[2J\r\n"));
    EXPECT_TRUE(code.err.contains(QStringLiteral("the name of character 3, \"Bell\\x00\\x1B[2J\"")))
        << code.err.toStdString();
    const CliRun show = run({QStringLiteral("show"), QStringLiteral("set.ch")}, dir.path());
    EXPECT_TRUE(show.out.contains("\n3.Char Bell\\x00\\x1B[2J\n")) << show.out.toStdString();
    EXPECT_FALSE(show.out.contains('\x1B'));
}

// code warns of a template line the stage breaks and still writes what the
// stage makes; check-templates names it and fails.
TEST(Cli, BrokenTemplateLinesAreNamed) {
    QTemporaryDir dir;
    QFile::copy(sourceFile("templates/main.asm"), dir.filePath(QStringLiteral("main.asm")));
    writeAll(dir.filePath(QStringLiteral("rest.asm")),
             "lcd_fc:\r\nlcd_ch:\r\nMOV r17,r16\r\nRET\r\n");
    const QString line = QStringLiteral(
        "rest.asm, line 3: \"MOV r17,r16\" becomes \"MOV r17\" and \"r16\": the comma ends the "
        "line, as MOV is none of ORI STS LDS OUT LDI IN.\n");
    const CliRun check = run(
        {QStringLiteral("check-templates"), QStringLiteral("--templates"), dir.path()}, dir.path());
    EXPECT_EQ(check.exitCode, 1);
    EXPECT_EQ(QString::fromLocal8Bit(check.out), line);

    const CliRun code = run({QStringLiteral("code"), sourceFile("docs/example.ch"),
                             QStringLiteral("--rest"), QStringLiteral("--templates"), dir.path()},
                            dir.path());
    EXPECT_EQ(code.exitCode, 0);
    EXPECT_EQ(code.err, QStringLiteral("Warning: ") + line);
    EXPECT_TRUE(code.out.endsWith("RET\r\nlcd_fc:\r\nlcd_ch:\r\nMOV r17\r\nr16\r\nRET\r\n\r\n"));

    const CliRun shipped = run(
        {QStringLiteral("check-templates"), QStringLiteral("--templates"), sourceFile("templates")},
        dir.path());
    EXPECT_EQ(shipped.exitCode, 0) << shipped.out.toStdString();
}

// What code writes in a sketch header, import makes into the same glyph file.
TEST(Cli, ImportGivesBackTheFileCodeWasMadeFrom) {
    QTemporaryDir dir;
    const CliRun code =
        run({QStringLiteral("code"), sourceFile("docs/example.ch"), QStringLiteral("--form"),
             QStringLiteral("arduino"), QStringLiteral("-o"), QStringLiteral("glyphs.h")},
            dir.path());
    ASSERT_EQ(code.exitCode, 0) << code.err.toStdString();
    const CliRun back = run({QStringLiteral("import"), QStringLiteral("glyphs.h"),
                             QStringLiteral("-o"), QStringLiteral("back.ch")},
                            dir.path());
    EXPECT_EQ(back.exitCode, 0) << back.err.toStdString();
    EXPECT_TRUE(back.err.isEmpty()) << back.err.toStdString();
    EXPECT_EQ(readAll(dir.filePath(QStringLiteral("back.ch"))),
              readAll(sourceFile("docs/example.ch")));
}

// The README's Makefile that makes glyphs.inc, as it stands there, with a
// program made of the shipped templates around `.include "glyphs.inc"`.
TEST(Cli, TheReadmeMakefileRegeneratesAndAssembles) {
    const QString readme = QString::fromUtf8(readAll(sourceFile("README.md")));
    static const QRegularExpression block(
        QStringLiteral("```make\\n([^`]*\\nglyphs\\.inc: glyphs\\.ch\\n[^`]*)```"));
    const QRegularExpressionMatch makefile = block.match(readme);
    ASSERT_TRUE(makefile.hasMatch()) << "README.md has no make block for glyphs.inc";

    QTemporaryDir dir;
    writeAll(dir.filePath(QStringLiteral("Makefile")), makefile.captured(1).toUtf8());
    writeAll(dir.filePath(QStringLiteral("display.asm")),
             readAll(sourceFile("templates/main.asm")) +
                 ".include \"glyphs.inc\"\r\n.include \"lcd.asm\"\r\n");
    writeAll(dir.filePath(QStringLiteral("lcd.asm")), readAll(sourceFile("templates/rest.asm")));
    writeAll(dir.filePath(QStringLiteral("glyphs.ch")), readAll(sourceFile("docs/example.ch")));

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("PATH"), QFileInfo(QStringLiteral(GLIMMERSET_CLI)).absolutePath() +
                                           u':' + env.value(QStringLiteral("PATH")));
    const auto make = [&] {
        QProcess process;
        process.setWorkingDirectory(dir.path());
        process.setProcessEnvironment(env);
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start(QStringLiteral(GLIMMERSET_MAKE), {});
        EXPECT_TRUE(process.waitForFinished(60000));
        const QString log = QString::fromLocal8Bit(process.readAll());
        EXPECT_EQ(process.exitCode(), 0) << log.toStdString();
        return log;
    };

    make();
    const CliRun code = run({QStringLiteral("code"), QStringLiteral("glyphs.ch")}, dir.path());
    EXPECT_EQ(readAll(dir.filePath(QStringLiteral("glyphs.inc"))), code.out);
    const QByteArray firstHex = readAll(dir.filePath(QStringLiteral("display.hex")));
    EXPECT_TRUE(firstHex.startsWith(':')) << firstHex.left(80).toStdString();
    EXPECT_TRUE(make().contains(QStringLiteral("up to date")));

    // A changed set regenerates the block and the program.
    QByteArray set = readAll(dir.filePath(QStringLiteral("glyphs.ch")));
    set.replace(set.indexOf(" 0 \r\n"), 5, " 1 \r\n");
    QFile::remove(dir.filePath(QStringLiteral("glyphs.ch")));
    writeAll(dir.filePath(QStringLiteral("glyphs.ch")), set);
    QFile(dir.filePath(QStringLiteral("glyphs.ch")))
        .setFileTime(QDateTime::currentDateTime().addSecs(5), QFileDevice::FileModificationTime);
    const QString log = make();
    EXPECT_TRUE(log.contains(QStringLiteral("glimmerset-cli code glyphs.ch -o glyphs.inc")))
        << log.toStdString();
    EXPECT_NE(readAll(dir.filePath(QStringLiteral("display.hex"))), firstHex);
}

} // namespace
} // namespace glimmerset::test

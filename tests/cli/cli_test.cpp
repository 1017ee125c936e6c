#include "support/cli_process.h"
#include "support/file_bytes.h"

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

CliRun run(const QStringList &arguments, const QString &workingDir,
           const QProcessEnvironment &env = {}) {
    return runCli(arguments, workingDir, env, 30000);
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
    QFile::copy(sourceFile("docs/example.ch"), dir.filePath(QStringLiteral("drawing.ch")));
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
    for (const char *set : {"set.ch", "drawing.ch"})
        EXPECT_EQ(readAll(dir.filePath(QLatin1String(set))),
                  readAll(sourceFile("docs/example.ch")));
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
    // Typos of options and commands, one wording; --help-all is no option.
    {"UnknownOption",
     {"code", "set.ch", "--bogus", "-o", "out.inc"},
     2,
     {"code: unknown option \"--bogus\".\nTry 'glimmerset-cli code --help'.\n"}},
    {"HelpAll", {"code", "--help-all"}, 2, {"code: unknown option \"--help-all\"."}},
#ifdef GLIMMERSET_WITH_VERIFY
    {"HelpAllBeforeAVerify",
     {"verify", "--help-all", "set.ch"},
     2,
     {"verify: unknown option \"--help-all\"."}},
#endif
    {"HelpAllAlone", {"--help-all"}, 2, {"glimmerset-cli: unknown option \"--help-all\"."}},
    {"UnknownCommand",
     {"make", "set.ch"},
     2,
     {"glimmerset-cli: unknown command \"make\".\nTry 'glimmerset-cli --help'.\n"}},
    {"NoSet", {"code", "-o", "out.inc"}, 2, {"code: a glyph file (.ch) is needed."}},
    {"TwoSets",
     {"code", "set.ch", "set.ch", "-o", "out.inc"},
     2,
     {"code: unexpected argument \"set.ch\"."}},
    {"NoCommand", {}, 2, {"glimmerset-cli: a command is needed."}},
    // A slip of tab completion: the drawing stays.
    {"OutputOntoItsInput",
     {"code", "set.ch", "-o", "./set.ch"},
     1,
     {"Won't write to \"./set.ch\": it is \"set.ch\", which is read to make it."}},
    {"ImportOntoItsSource", {"import", "wide.c", "-o", "wide.c"}, 1, {"Won't write to \"wide.c\""}},
    {"OutputOntoAGlyphSet",
     {"code", "set.ch", "-o", "drawing.ch"},
     1,
     {"Won't replace \"drawing.ch\" with code: it holds a glyph set. Give --force"}},
    {"EmptyOutputName",
     {"code", "set.ch", "-o", ""},
     2,
     {"code: -o needs a value, not an empty one."}},
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
    {"ImportNothing",
     {"import"},
     2,
     {"import: a source file is needed.\nTry 'glimmerset-cli import --help'.\n"}},
    {"CheckMissingTemplates",
     {"check-templates", "--templates", "empty"},
     1,
     {"\"empty/main.asm\" for reading: No such file", "\"empty/rest.asm\" for reading"}},
};

INSTANTIATE_TEST_SUITE_P(Cases, CliFailure, ::testing::ValuesIn(kFailures),
                         [](const auto &info) { return std::string(info.param.name); });

// --force replaces a glyph set, but never the set the code is made from.
TEST(Cli, ForceReplacesAnotherGlyphSetOnly) {
    QTemporaryDir dir;
    const QString drawing = dir.filePath(QStringLiteral("drawing.ch"));
    QFile::copy(sourceFile("docs/example.ch"), drawing);
    const QString set = sourceFile("docs/example.ch");
    EXPECT_EQ(run({"code", set, "-o", drawing, "--force"}, dir.path()).exitCode, 0);
    EXPECT_TRUE(readAll(drawing).startsWith("LCD_char:"))
        << readAll(drawing).left(40).toStdString();
    EXPECT_EQ(run({"code", drawing, "-o", drawing, "--force"}, dir.path()).exitCode, 1);
}

TEST(Cli, ShowDrawsEachGlyphUnderItsName) {
    const CliRun r = run({QStringLiteral("show"), sourceFile("docs/example.ch")}, QDir::tempPath());
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.startsWith(
        "1.Char Arrow\n..#..\n.#...\n#####\n.#...\n..#..\n.....\n.....\n.....\n\n2.Char Heart\n"))
        << r.out.toStdString();
    EXPECT_EQ(r.out.count('\n'), 8 * 9 + 7);
}

// A file that is no glyph file loads all the same, as in the window; every
// command that reads one says where its shape breaks and names the pixel
// fields that hold neither 0 nor 1, the first five by their line, and keeps
// its output.
TEST(Cli, PixelFieldsOtherThanZeroOrOneAreWarnedAbout) {
    QTemporaryDir dir;
    QByteArray set = readAll(sourceFile("docs/example.ch"));
    const qsizetype pixels = set.indexOf(" 0 \r\n");
    const QByteArray odd = "\tLDI r16, 2\r\n-1\r\n\r\n 1x \r\n 1 \r\n\"0\"\r\n";
    set.replace(pixels, 30, odd); // the six lines of the first glyph's first rows
    writeAll(dir.filePath(QStringLiteral("odd.ch")), set);
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("empty")));
    const QString warnings = QStringLiteral(
        "Warning: \"odd.ch\", line 9: the line holds 2 fields where the other pixel lines hold 1, "
        "so every pixel after it is read out of place.\n"
        "Warning: \"odd.ch\", line 328: a field left over after the set of 328 fields: never read.\n"
        "Warning: \"odd.ch\", line 9: the pixel field holds \"LDI r16\", not 0 or 1; it counts as dark.\n"
        "Warning: \"odd.ch\", line 9: the pixel field holds \"2\", not 0 or 1; it counts as dark.\n"
        "Warning: \"odd.ch\", line 10: the pixel field holds \"-1\", not 0 or 1; it counts as dark.\n"
        "Warning: \"odd.ch\", line 11: the pixel field holds \"\", not 0 or 1; it counts as dark.\n"
        "Warning: \"odd.ch\", line 12: the pixel field holds \"1x\", not 0 or 1; it counts as lit.\n");
    const struct {
        QStringList arguments;
        int exitCode;
    } cases[] = {
        {{"show", "odd.ch"}, 0},
        {{"code", "odd.ch"}, 0},
#ifdef GLIMMERSET_WITH_VERIFY
        // Cut short by the missing template, after the warnings.
        {{"verify", "odd.ch", "--templates", "empty"}, 1},
#endif
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.arguments.join(u' ').toStdString());
        const CliRun r = run(c.arguments, dir.path());
        EXPECT_EQ(r.exitCode, c.exitCode);
        EXPECT_TRUE(r.err.startsWith(warnings)) << r.err.toStdString();
        EXPECT_EQ(r.out.isEmpty(), c.exitCode != 0);
    }
}

// `code SET.ch | head -c 10`: once the reader has stopped, the program ends
// quietly with 1, as the rest of its output can arrive nowhere; never by the
// signal (status 141).
TEST(Cli, AClosedPipeEndsTheOutputQuietly) {
    QTemporaryDir dir;
    writeAll(dir.filePath(QStringLiteral("main.asm")), "; main\r\n");
    // More than a pipe holds, so the write meets the closed end whenever head closes it.
    writeAll(dir.filePath(QStringLiteral("rest.asm")), QByteArray("NOP\r\n").repeated(1 << 18));
    QProcess shell;
    shell.start(QStringLiteral("sh"),
                {QStringLiteral("-c"),
                 QStringLiteral("{ \"$0\" code \"$1\" --rest --templates \"$2\"; echo \"status $?\" >&2; } | "
                                "head -c 10 >/dev/null"),
                 QStringLiteral(GLIMMERSET_CLI), sourceFile("docs/example.ch"), dir.path()});
    ASSERT_TRUE(shell.waitForFinished(30000));
    EXPECT_EQ(shell.readAllStandardError(), QByteArray("status 1\n"));
}

// A name that would end its comment line: the code carries ? and says so,
// show spells the name out instead of sending the escape to the terminal,
// and so does a message that quotes a file name.
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
    const CliRun missing = run({QStringLiteral("show"), QStringLiteral("no\x1B[2J.ch")}, dir.path());
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_TRUE(missing.err.contains(QStringLiteral("\"no\\x1B[2J.ch\""))) << missing.err.toStdString();
    EXPECT_FALSE(missing.err.contains(QChar(0x1B)));
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

// "-" is the standard input for every command that reads a set or a source.
TEST(Cli, ReadsTheStandardInputForDash) {
    QProcess shell;
    shell.start(QStringLiteral("sh"),
                {QStringLiteral("-c"),
                 QStringLiteral("\"$0\" code \"$1\" --form arduino | \"$0\" import - -o - | "
                                "\"$0\" code - | \"$0\" import - | \"$0\" show -"),
                 QStringLiteral(GLIMMERSET_CLI), sourceFile("docs/example.ch")});
    ASSERT_TRUE(shell.waitForFinished(30000));
    EXPECT_EQ(shell.exitCode(), 0);
    EXPECT_EQ(shell.readAllStandardError(), QByteArray());
    const CliRun show = run({QStringLiteral("show"), sourceFile("docs/example.ch")}, QDir::tempPath());
    EXPECT_EQ(shell.readAllStandardOutput(), show.out);
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

#include "window_fixture.h"

#include "codegen/character_code.h"
#include "codegen/template_text.h"

#include <QDir>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSignalSpy>

namespace glimmerset::test {
namespace {

const QByteArray kMainAsm = "; test program\r\n   LDI r16, 0x40\r\nMOV r16,r17\r\n\r\n\tRCALL LCD_char\r\n";
const QString kMainJoined =
    QStringLiteral("; test program\r\nLDI r16,0x40\r\nMOV r16\r\nr17\r\n\r\nRCALL LCD_char\r\n");
const QByteArray kRestAsm = "lcd_fc:\r\nOUT PORTB,mp0\r\nRET\r\n";
const QString kRestJoined = QStringLiteral("lcd_fc:\r\nOUT PORTB,mp0\r\nRET\r\n");

class Chain : public WindowTest {
protected:
    QString block() const {
        GlyphNames names;
        for (int g = 0; g < kGlyphCount; ++g)
            names[g] = window->findChild<QLineEdit *>(QStringLiteral("Text1_%1").arg(g))->text();
        return character_code(names, window->glyphSet());
    }
    void writeTemplates() {
        writeFile(QStringLiteral("main.asm"), kMainAsm);
        writeFile(QStringLiteral("rest.asm"), kRestAsm);
    }
};

TEST_F(Chain, NoRowSelectedGivesAnEmptyBufferAndTouchesNothing) {
    writeTemplates();
    window->findChild<QPlainTextEdit *>(QStringLiteral("code"))->setPlainText(QStringLiteral("typed by hand"));
    press("Ccode");
    EXPECT_EQ(window->codeBuffer(), QString());
    EXPECT_EQ(codeShown(), QString());
    EXPECT_TRUE(platform.dialogs.empty());
    EXPECT_TRUE(platform.messages.empty());
    EXPECT_TRUE(platform.clipboard.empty());
}

// Only a run with "Character Code" takes a snapshot: any other keeps GlyphSet
// as it was and leaves the current cells where the user put them.
TEST_F(Chain, ARunWithoutCharacterCodeTakesNoSnapshot) {
    writeTemplates();
    clickCell(1, 2, 3);
    platform.answers = {path(QStringLiteral("prog"))};
    selectActions({kTestProgramRow, kRestOfCodeRow, kSaveToFileRow, kClipboardRow});
    press("Ccode");
    EXPECT_EQ(window->glyphSet(), GlyphSet());
    EXPECT_EQ(std::pair(grid(1)->row(), grid(1)->col()), std::pair(2, 3));

    selectActions({kCharacterCodeRow});
    platform.answers = {path(QStringLiteral("prog"))};
    press("Ccode");
    EXPECT_TRUE(window->glyphSet().isLit(2, 3, 1));
}

TEST_F(Chain, TheTestProgramAloneIsItsJoinedFields) {
    writeTemplates();
    selectActions({kTestProgramRow});
    press("Ccode");
    EXPECT_EQ(window->codeBuffer(), kMainJoined);
    EXPECT_EQ(codeShown(), asShown(kMainJoined));
}

TEST_F(Chain, AllRowsRunInChainOrderWhateverTheRowOrder) {
    writeTemplates();
    clickCell(0, 0, 2);
    window->findChild<QLineEdit *>(QStringLiteral("Text1_0"))->setText(QStringLiteral("Arrow; up"));
    platform.answers = {path(QStringLiteral("prog"))};
    selectActions({kClipboardRow, kRestOfCodeRow, kSaveToFileRow, kCharacterCodeRow, kTestProgramRow});
    press("Ccode");

    EXPECT_EQ(window->glyphSet().pixel(0, 2, 0), 1);
    const QString expected = kMainJoined + block() + kRestJoined;
    EXPECT_TRUE(block().startsWith(QStringLiteral("LCD_char:\r\n;Arrow; up\r\n")));
    EXPECT_EQ(window->codeBuffer(), expected);
    EXPECT_EQ(codeShown(), asShown(expected));
    ASSERT_EQ(platform.dialogs.size(), 1u);
    EXPECT_EQ(platform.dialogs[0].kind, FileDialogKind::Save);
    EXPECT_EQ(platform.dialogs[0].title, QStringLiteral("Save to ..."));
    EXPECT_EQ(platform.dialogs[0].filter, QStringLiteral("*.asm"));
    EXPECT_EQ(platform.dialogs[0].addedExtension, QStringLiteral(".asm"));
    EXPECT_EQ(platform.dialogs[0].codeShown, asShown(expected)); // complete before the dialog opens
    EXPECT_EQ(readFile(QStringLiteral("prog.asm")), expected.toLatin1() + "\r\n");
    EXPECT_EQ(platform.clipboard, std::vector<QString>{expected});
    EXPECT_TRUE(platform.messages.empty());
}

TEST_F(Chain, AMissingTestProgramStopsEverythingWithOneMessage) {
    writeFile(QStringLiteral("rest.asm"), kRestAsm);
    platform.answers = {path(QStringLiteral("prog"))};
    selectActions({0, 1, 2, 3, 4});
    press("Ccode");
    ASSERT_EQ(platform.messages.size(), 1u);
    EXPECT_EQ(platform.messages[0].text, QStringLiteral("File: Main.asm doesn't exist!!!"));
    EXPECT_EQ(platform.messages[0].codeShown, QString());
    EXPECT_EQ(window->codeBuffer(), QString());
    EXPECT_TRUE(platform.dialogs.empty());
    EXPECT_TRUE(platform.clipboard.empty());
    EXPECT_EQ(window->glyphSet(), GlyphSet{});
}

TEST_F(Chain, AMissingTemplateOfAnUnselectedRowDoesNoHarm) {
    selectActions({kCharacterCodeRow, kClipboardRow});
    press("Ccode");
    EXPECT_TRUE(platform.messages.empty());
    EXPECT_EQ(platform.clipboard, std::vector<QString>{block()});
}

TEST_F(Chain, AMissingRestKeepsWhatCameBeforeAndStopsBeforeTheOutputs) {
    writeFile(QStringLiteral("main.asm"), kMainAsm);
    platform.answers = {path(QStringLiteral("prog"))};
    selectActions({0, 1, 2, 3, 4});
    press("Ccode");
    const QString expected = kMainJoined + block();
    ASSERT_EQ(platform.messages.size(), 1u);
    EXPECT_EQ(platform.messages[0].text, QStringLiteral("File: rest.asm doesn't exist!!!"));
    EXPECT_EQ(platform.messages[0].codeShown, asShown(expected));
    EXPECT_EQ(window->codeBuffer(), expected);
    EXPECT_EQ(codeShown(), asShown(expected));
    EXPECT_TRUE(platform.dialogs.empty());
    EXPECT_TRUE(platform.clipboard.empty());
    EXPECT_FALSE(readFile(QStringLiteral("prog.asm")));
}

TEST_F(Chain, ATemplateEndingInAPrefixRunsIntoTheNextStage) {
    writeFile(QStringLiteral("main.asm"), "INC r16\r\n");
    writeFile(QStringLiteral("rest.asm"), "");
    selectActions({kTestProgramRow, kCharacterCodeRow, kRestOfCodeRow});
    press("Ccode");
    EXPECT_EQ(window->codeBuffer(), QStringLiteral("INC r16,") + block());
}

TEST_F(Chain, CancellingTheSaveDialogEndsTheChainQuietly) {
    selectActions({kSaveToFileRow, kClipboardRow});
    press("Ccode");
    ASSERT_EQ(platform.dialogs.size(), 1u);
    EXPECT_TRUE(platform.clipboard.empty());
    EXPECT_TRUE(platform.messages.empty());
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files).isEmpty());
    EXPECT_EQ(window->saveDialog().fileName(), QString());
}

TEST_F(Chain, TheWrittenNameGetsAsmButTheDialogKeepsTheUsersName) {
    selectActions({kSaveToFileRow});
    const QStringList chosen = {"prog", "prog.asm", "prog.ASM", "prog.txt"};
    const QStringList written = {"prog.asm", "prog.asm", "prog.ASM.asm", "prog.txt.asm"};
    for (const QString &name : chosen)
        platform.answers.push_back(path(name));
    for (qsizetype i = 0; i < chosen.size(); ++i) {
        press("Ccode");
        EXPECT_EQ(window->saveDialog().fileName(), path(chosen[i]));
        EXPECT_EQ(readFile(written[i]), QByteArray("\r\n")) << written[i].toStdString();
    }
    ASSERT_EQ(platform.dialogs.size(), 4u);
    EXPECT_EQ(platform.dialogs[0].fileName, QString());
    // Each showing starts from the name last chosen, never the completed one.
    for (int i = 1; i < 4; ++i)
        EXPECT_EQ(platform.dialogs[i].fileName, path(chosen[i - 1]));
    EXPECT_FALSE(readFile(QStringLiteral("prog")));
}

// Each run reads the templates afresh: an edit between two runs shows in the second.
TEST_F(Chain, RunningTwiceGivesTheSameBufferAndReplacesTheFile) {
    writeTemplates();
    clickCell(5, 7, 4);
    selectActions({0, 1, 2, 3});
    platform.answers = {path(QStringLiteral("out.asm")), path(QStringLiteral("out.asm")),
                        path(QStringLiteral("out.asm"))};
    press("Ccode");
    const QString first = window->codeBuffer();
    press("Ccode");
    EXPECT_EQ(window->codeBuffer(), first);
    EXPECT_EQ(first, kMainJoined + block() + kRestJoined);
    EXPECT_EQ(readFile(QStringLiteral("out.asm")), first.toLatin1() + "\r\n");

    writeFile(QStringLiteral("rest.asm"), "RET\r\n");
    press("Ccode");
    EXPECT_EQ(window->codeBuffer(), kMainJoined + block() + QStringLiteral("RET\r\n"));
    EXPECT_EQ(readFile(QStringLiteral("out.asm")), window->codeBuffer().toLatin1() + "\r\n");
}

TEST_F(Chain, OnlyTheClipboardRowCopiesTheEmptyBuffer) {
    selectActions({kClipboardRow});
    press("Ccode");
    EXPECT_EQ(platform.clipboard, std::vector<QString>{QString()});
}

TEST_F(Chain, ABigTemplateReachesTheBoxInOneSetting) {
    QByteArray big;
    while (big.size() < (1 << 20))
        big += "NOP\r\n";
    writeFile(QStringLiteral("main.asm"), big);
    writeFile(QStringLiteral("rest.asm"), kRestAsm);
    auto *code = window->findChild<QPlainTextEdit *>(QStringLiteral("code"));
    QSignalSpy changes(code, &QPlainTextEdit::textChanged);
    selectActions({kTestProgramRow, kRestOfCodeRow});
    press("Ccode");
    EXPECT_EQ(window->codeBuffer().size(), big.size() + kRestJoined.size());
    EXPECT_LE(changes.count(), 2);
}

TEST_F(Chain, AFailedWriteIsReportedAndKeepsTheBuffer) {
    writeTemplates();
    selectActions({kTestProgramRow, kSaveToFileRow, kClipboardRow});
    platform.answers = {path(QStringLiteral("no such folder/prog"))};
    press("Ccode");
    ASSERT_EQ(platform.messages.size(), 1u);
    EXPECT_TRUE(platform.messages[0].text.contains(QStringLiteral("prog.asm"))) << platform.messages[0].text.toStdString();
    EXPECT_NE(platform.messages[0].text, kMainTemplateMissing);
    EXPECT_EQ(window->codeBuffer(), kMainJoined);
    EXPECT_EQ(codeShown(), asShown(kMainJoined));
    EXPECT_TRUE(platform.clipboard.empty());
}

TEST_F(Chain, AFailedClipboardIsReportedAndKeepsTheBuffer) {
    writeTemplates();
    platform.clipboardFails = true;
    selectActions({kTestProgramRow, kClipboardRow});
    press("Ccode");
    ASSERT_EQ(platform.messages.size(), 1u);
    EXPECT_TRUE(platform.messages[0].text.contains(QStringLiteral("clipboard")));
    EXPECT_EQ(platform.messages[0].codeShown, asShown(kMainJoined));
    EXPECT_EQ(codeShown(), asShown(kMainJoined));
}

TEST_F(Chain, TemplatesComeFromTheExecutablesFolderNotTheWorkingOne) {
    QTemporaryDir elsewhere;
    QFile decoy(elsewhere.filePath(QStringLiteral("main.asm")));
    ASSERT_TRUE(decoy.open(QIODevice::WriteOnly));
    decoy.write("DECOY\r\n");
    decoy.close();
    const QString oldCwd = QDir::currentPath();
    QDir::setCurrent(elsewhere.path());
    selectActions({kTestProgramRow});
    press("Ccode");
    platform.exeDir.clear(); // the executable's folder could not be found
    press("Ccode");
    QDir::setCurrent(oldCwd);
    ASSERT_EQ(platform.messages.size(), 2u);
    EXPECT_EQ(platform.messages[0].text, kMainTemplateMissing);
    EXPECT_EQ(platform.messages[1].text, kMainTemplateMissing);
    EXPECT_EQ(window->codeBuffer(), QString());
}

} // namespace
} // namespace glimmerset::test

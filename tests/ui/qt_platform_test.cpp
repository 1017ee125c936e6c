#include "app/qt_platform.h"

#include <QApplication>
#include <QAbstractButton>
#include <QClipboard>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

namespace glimmerset::test {
namespace {

// Looks at the modal dialog once it is up, then closes it; gives up after a
// while rather than leave the test hanging in the dialog.
// With closeAfter false, inspect must close the dialog itself.
template <typename Dialog>
void whenShown(const std::function<void(Dialog &)> &inspect, bool closeAfter = true, int triesLeft = 200) {
    QTimer::singleShot(10, [inspect, closeAfter, triesLeft] {
        auto *dialog = qobject_cast<Dialog *>(QApplication::activeModalWidget());
        if (!dialog) {
            if (triesLeft > 0)
                whenShown(inspect, closeAfter, triesLeft - 1);
            else if (QWidget *other = QApplication::activeModalWidget())
                other->close();
            return;
        }
        inspect(*dialog);
        if (closeAfter)
            dialog->reject();
    });
}

// Plain text, so a path holding markup is shown as it is.
TEST(QtPlatform, TheMessageBoxHasTheCaptionTextAndOnlyAnOkButton) {
    QtPlatform platform;
    const QString message = QStringLiteral("Can't write \"/tmp/<b>bold</b>.ch\": Permission denied.");
    bool seen = false;
    whenShown<QMessageBox>([&](QMessageBox &box) {
        seen = true;
        EXPECT_EQ(box.windowTitle(), QStringLiteral("Glimmerset"));
        EXPECT_EQ(box.text(), message);
        EXPECT_EQ(box.textFormat(), Qt::PlainText);
        EXPECT_EQ(box.icon(), QMessageBox::NoIcon);
        EXPECT_EQ(box.standardButtons(), QMessageBox::Ok);
    });
    platform.showMessage(nullptr, message);
    EXPECT_TRUE(seen);
}

TEST(QtPlatform, ACancelledFileDialogGivesAnEmptyName) {
    QtPlatform platform;
    QTemporaryDir dir;
    const QString start = dir.filePath(QStringLiteral("glyphs.ch"));
    bool seen = false;
    whenShown<QFileDialog>([&](QFileDialog &dialog) {
        seen = true;
        EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Save to ..."));
        EXPECT_EQ(dialog.acceptMode(), QFileDialog::AcceptSave);
        EXPECT_EQ(dialog.nameFilters(), QStringList{QStringLiteral("*.ch")});
        EXPECT_EQ(dialog.selectedFiles(), QStringList{start});
    });
    EXPECT_EQ(platform.chooseFile(nullptr, FileDialogKind::Save, QStringLiteral("Save to ..."), QStringLiteral("*.ch"),
                                  start, QStringLiteral(".ch")),
              QString());
    EXPECT_TRUE(seen);
}

// The question is about the file the command writes, ".ch" included; a "No"
// shows the dialog again.
TEST(QtPlatform, TheReplaceQuestionNamesTheFileThatIsWritten) {
    QtPlatform platform;
    QTemporaryDir dir;
    QFile(dir.filePath(QStringLiteral("glyphs.ch"))).open(QIODevice::WriteOnly);
    const struct {
        const char *typed;
        QMessageBox::StandardButton answer;
        QString result;
    } cases[] = {
        {"glyphs", QMessageBox::Yes, dir.filePath(QStringLiteral("glyphs"))},
        {"glyphs.ch", QMessageBox::Yes, dir.filePath(QStringLiteral("glyphs.ch"))},
        {"glyphs", QMessageBox::No, QString()},
        {"other", QMessageBox::Yes, dir.filePath(QStringLiteral("other"))},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.typed);
        QStringList questions;
        int dialogsShown = 0;
        std::function<void(QFileDialog &)> choose = [&](QFileDialog &dialog) {
            if (++dialogsShown > 1) {
                dialog.reject(); // shown again after "No"
                return;
            }
            whenShown<QMessageBox>(
                [&](QMessageBox &box) {
                    questions << box.text();
                    EXPECT_EQ(box.textFormat(), Qt::PlainText);
                    if (c.answer == QMessageBox::No)
                        whenShown<QFileDialog>(choose, false);
                    box.button(c.answer)->click();
                },
                false);
            static_cast<QDialog &>(dialog).accept(); // QFileDialog::accept, as the Save button does
        };
        whenShown<QFileDialog>(choose, false);
        EXPECT_EQ(platform.chooseFile(nullptr, FileDialogKind::Save, QStringLiteral("Save to ..."),
                                      QStringLiteral("*.ch"), dir.filePath(QString::fromLatin1(c.typed)),
                                      QStringLiteral(".ch")),
                  c.result);
        const bool asked = QByteArray(c.typed).startsWith("glyphs");
        const QString question = QStringLiteral("glyphs.ch already exists.\nDo you want to replace it?");
        EXPECT_EQ(questions, asked ? QStringList{question} : QStringList());
        EXPECT_EQ(dialogsShown, c.answer == QMessageBox::No ? 2 : 1);
        QApplication::processEvents();
    }
}

TEST(QtPlatform, TheClipboardTakesTheTextAsItIs) {
    QtPlatform platform;
    const QString text = QStringLiteral("LCD_char:\r\nRET");
    platform.setClipboardText(text);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), text);
}

} // namespace
} // namespace glimmerset::test

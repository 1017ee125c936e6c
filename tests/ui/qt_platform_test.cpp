#include "app/qt_platform.h"

#include <QApplication>
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
template <typename Dialog>
void whenShown(const std::function<void(Dialog &)> &inspect, int triesLeft = 200) {
    QTimer::singleShot(10, [inspect, triesLeft] {
        auto *dialog = qobject_cast<Dialog *>(QApplication::activeModalWidget());
        if (!dialog) {
            if (triesLeft > 0)
                whenShown(inspect, triesLeft - 1);
            else if (QWidget *other = QApplication::activeModalWidget())
                other->close();
            return;
        }
        inspect(*dialog);
        dialog->reject();
    });
}

TEST(QtPlatform, TheMessageBoxHasTheCaptionTextAndOnlyAnOkButton) {
    QtPlatform platform;
    bool seen = false;
    whenShown<QMessageBox>([&](QMessageBox &box) {
        seen = true;
        EXPECT_EQ(box.windowTitle(), QStringLiteral("Glimmerset"));
        EXPECT_EQ(box.text(), QStringLiteral("File: rest.asm doesn't exist!!!"));
        EXPECT_EQ(box.icon(), QMessageBox::NoIcon);
        EXPECT_EQ(box.standardButtons(), QMessageBox::Ok);
    });
    platform.showMessage(nullptr, QStringLiteral("File: rest.asm doesn't exist!!!"));
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
                                  start),
              QString());
    EXPECT_TRUE(seen);
}

TEST(QtPlatform, TheClipboardTakesTheTextAsItIs) {
    QtPlatform platform;
    const QString text = QStringLiteral("LCD_char:\r\nRET");
    platform.setClipboardText(text);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), text);
}

} // namespace
} // namespace glimmerset::test

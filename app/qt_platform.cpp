#include "app/qt_platform.h"

#include "storage/error.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMessageBox>

namespace glimmerset {

QString QtPlatform::chooseFile(QWidget *parent, FileDialogKind kind, const QString &title, const QString &filter,
                               const QString &fileName) {
    // Qt's save dialog asks before replacing a file; that question is welcome.
    if (kind == FileDialogKind::Save)
        return QFileDialog::getSaveFileName(parent, title, fileName, filter);
    return QFileDialog::getOpenFileName(parent, title, fileName, filter);
}

void QtPlatform::showMessage(QWidget *parent, const QString &text) {
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Glimmerset"), text, QMessageBox::Ok, parent);
    box.exec();
}

void QtPlatform::setClipboardText(const QString &text) {
    QClipboard *clipboard = QGuiApplication::clipboard();
    clipboard->setText(text);
    if (clipboard->text() != text)
        throw Error(QStringLiteral("Can't put the code on the clipboard: the system clipboard did not take it."));
}

QString QtPlatform::executableDir() const {
    return QFileInfo(QCoreApplication::applicationFilePath()).canonicalPath();
}

} // namespace glimmerset

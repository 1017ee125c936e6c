#include "app/qt_platform.h"

#include "codegen/template_folder.h"
#include "storage/error.h"

#include <QClipboard>
#include <QFileDialog>
#include <QGuiApplication>
#include <QMessageBox>

namespace glimmerset {

// Found once: a package upgrade may replace the executable under a running window.
QtPlatform::QtPlatform() : executableDir_(executableFolder()) {}

QString QtPlatform::chooseFile(QWidget *parent, FileDialogKind kind, const QString &title,
                               const QString &filter, const QString &fileName) {
    // Qt's save dialog asks before replacing a file; that question is welcome.
    if (kind == FileDialogKind::Save)
        return QFileDialog::getSaveFileName(parent, title, fileName, filter);
    return QFileDialog::getOpenFileName(parent, title, fileName, filter);
}

void QtPlatform::showMessage(QWidget *parent, const QString &text) {
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Glimmerset"), text, QMessageBox::Ok,
                    parent);
    box.exec();
}

void QtPlatform::setClipboardText(const QString &text) {
    QClipboard *clipboard = QGuiApplication::clipboard();
    clipboard->setText(text);
    if (clipboard->text() != text)
        throw Error(QStringLiteral(
            "Can't put the code on the clipboard: the system clipboard did not take it."));
}

} // namespace glimmerset

#include "app/qt_platform.h"

#include "storage/error.h"
#include "storage/executable_folder.h"
#include "storage/file_names.h"

#include <QClipboard>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMessageBox>

namespace glimmerset {

// Found once: a package upgrade may replace the executable under a running window.
QtPlatform::QtPlatform() : executableDir_(executableFolder()) {}

QString QtPlatform::chooseFile(QWidget *parent, FileDialogKind kind, const QString &title,
                               const QString &filter, const QString &fileName,
                               const QString &addedExtension) {
    if (kind == FileDialogKind::Open)
        return QFileDialog::getOpenFileName(parent, title, fileName, filter);
    // Qt's own question is about the name as typed, so "glyphs" would replace
    // "glyphs.ch" unasked; this one is about the file the command writes, and
    // a "No" shows the dialog again, as Qt's does.
    QString start = fileName;
    for (;;) {
        const QString chosen = QFileDialog::getSaveFileName(parent, title, start, filter, nullptr,
                                                            QFileDialog::DontConfirmOverwrite);
        if (chosen.isEmpty())
            return chosen;
        const QFileInfo written(addedExtension.isEmpty() ? chosen
                                                         : withExtension(chosen, addedExtension));
        if (!written.exists() && !written.isSymLink())
            return chosen;
        QMessageBox question(QMessageBox::Warning, title,
                             QStringLiteral("%1 already exists.\nDo you want to replace it?")
                                 .arg(written.fileName()),
                             QMessageBox::Yes | QMessageBox::No, parent);
        question.setDefaultButton(QMessageBox::No);
        question.setTextFormat(Qt::PlainText);
        if (question.exec() == QMessageBox::Yes)
            return chosen;
        start = chosen;
    }
}

void QtPlatform::showMessage(QWidget *parent, const QString &text) {
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Glimmerset"), text, QMessageBox::Ok,
                    parent);
    // A path or a name may hold "<b>": shown as typed, never as markup.
    box.setTextFormat(Qt::PlainText);
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

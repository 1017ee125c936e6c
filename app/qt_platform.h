#pragma once

#include "app/platform.h"

namespace glimmerset {

// The desktop's own dialogs, message box and clipboard.
class QtPlatform : public Platform {
public:
    QtPlatform();

    QString chooseFile(QWidget *parent, FileDialogKind kind, const QString &title, const QString &filter,
                       const QString &fileName, const QString &addedExtension) override;
    void showMessage(QWidget *parent, const QString &text) override;
    void setClipboardText(const QString &text) override;
    QString executableDir() const override { return executableDir_; }

private:
    QString executableDir_;
};

} // namespace glimmerset

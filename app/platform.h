#pragma once

#include <QString>

class QWidget;

namespace glimmerset {

enum class FileDialogKind { Open, Save };

// Everything the window asks of the desktop that a test must not touch:
// modal dialogs, the clipboard, where the executable lies.
class Platform {
public:
    virtual ~Platform() = default;

    // Shows a modal file dialog starting from fileName; the chosen name, or
    // empty when the user cancelled. A save dialog asks before replacing the
    // file the command will write: the chosen name with addedExtension
    // appended unless it already ends in it.
    virtual QString chooseFile(QWidget *parent, FileDialogKind kind, const QString &title, const QString &filter,
                               const QString &fileName, const QString &addedExtension) = 0;
    // A modal box captioned "Glimmerset" with only an OK button and no icon.
    virtual void showMessage(QWidget *parent, const QString &text) = 0;
    // Throws Error when the text could not be placed.
    virtual void setClipboardText(const QString &text) = 0;
    // Symlinks resolved, so templates are found beside the real executable.
    virtual QString executableDir() const = 0;
};

// A file dialog object: fixed title, filter set before each showing, and a
// file name that lasts from one showing to the next.
class FileDialog {
public:
    FileDialog(Platform &platform, FileDialogKind kind, QString title, QString filter);

    QString title() const { return title_; }
    QString filter() const { return filter_; }
    void setFilter(const QString &filter) { filter_ = filter; }
    QString fileName() const { return fileName_; }
    void setFileName(const QString &name) { fileName_ = name; }

    // A cancel leaves the file name empty; true when a name was chosen.
    // addedExtension: what the command appends to the name before writing.
    bool show(QWidget *parent, const QString &addedExtension = {});

private:
    Platform &platform_;
    FileDialogKind kind_;
    QString title_;
    QString filter_;
    QString fileName_;
};

} // namespace glimmerset

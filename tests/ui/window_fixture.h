#pragma once

#include "app/main_window.h"
#include "app/platform.h"
#include "app/glyph_grid.h"

#include <QByteArray>
#include <QListWidget>
#include <QPushButton>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <deque>
#include <memory>
#include <optional>
#include <vector>

#include <ostream>

// Readable failure output, CR and LF made visible.
inline void PrintTo(const QString &text, std::ostream *os) {
    QString shown = text;
    shown.replace(QLatin1Char('\r'), QStringLiteral("\\r")).replace(QLatin1Char('\n'), QStringLiteral("\\n"));
    *os << '"' << shown.toStdString() << '"';
}

namespace glimmerset::test {

// Records every call and answers file dialogs from a script; an exhausted
// script answers as a cancelled dialog.
class FakePlatform : public Platform {
public:
    struct DialogCall {
        FileDialogKind kind;
        QString title;
        QString filter;
        QString fileName; // the name the dialog started from
        QString addedExtension;
        QString codeShown; // what `code` showed while it was open
    };
    struct MessageCall {
        QString text;
        QString codeShown;
    };

    QString chooseFile(QWidget *parent, FileDialogKind kind, const QString &title, const QString &filter,
                       const QString &fileName, const QString &addedExtension) override;
    void showMessage(QWidget *parent, const QString &text) override;
    void setClipboardText(const QString &text) override;
    QString executableDir() const override { return exeDir; }

    QString exeDir;
    std::deque<QString> answers;
    std::vector<DialogCall> dialogs;
    std::vector<MessageCall> messages;
    std::vector<QString> clipboard;
    bool clipboardFails = false;
};

// `code` shows line ends as LF only; the buffer itself keeps CR LF.
QString asShown(QString buffer);

class WindowTest : public ::testing::Test {
protected:
    WindowTest();
    ~WindowTest() override;

    GlyphGrid *grid(int glyph) const; // glyph 0 is char1
    QListWidget *list(const char *name) const;
    QPushButton *button(const char *name) const;
    QString codeShown() const;

    void clickCell(int glyph, int row, int col);
    void clickEntry(const char *listName, int index);
    void selectActions(std::initializer_list<int> rows);
    void press(const char *buttonName);

    QString path(const QString &name) const { return dir.filePath(name); }
    void writeFile(const QString &name, const QByteArray &bytes) const;
    std::optional<QByteArray> readFile(const QString &name) const;

    QTemporaryDir dir;
    FakePlatform platform;
    std::unique_ptr<MainWindow> window;
};

// Reads a cell without caring where the current cell is left.
bool isLit(GlyphGrid &grid, int row, int col);
std::optional<std::uint32_t> cellColor(GlyphGrid &grid, int row, int col);

} // namespace glimmerset::test

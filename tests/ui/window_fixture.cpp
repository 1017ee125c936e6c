#include "window_fixture.h"

#include "storage/error.h"

#include <QFile>
#include <QPlainTextEdit>
#include <QTest>

namespace glimmerset::test {

namespace {

QString codeOf(QWidget *parent) {
    auto *code = parent ? parent->findChild<QPlainTextEdit *>(QStringLiteral("code")) : nullptr;
    return code ? code->toPlainText() : QStringLiteral("<no code box>");
}

} // namespace

QString FakePlatform::chooseFile(QWidget *parent, FileDialogKind kind, const QString &title, const QString &filter,
                                 const QString &fileName, const QString &addedExtension) {
    dialogs.push_back({kind, title, filter, fileName, addedExtension, codeOf(parent)});
    if (answers.empty())
        return {};
    QString answer = answers.front();
    answers.pop_front();
    return answer;
}

void FakePlatform::showMessage(QWidget *parent, const QString &text) { messages.push_back({text, codeOf(parent)}); }

void FakePlatform::setClipboardText(const QString &text) {
    if (clipboardFails)
        throw Error(QStringLiteral("Can't put the code on the clipboard: it is taken."));
    clipboard.push_back(text);
}

QString asShown(QString buffer) { return buffer.remove(QLatin1Char('\r')); }

WindowTest::WindowTest() {
    platform.exeDir = dir.path();
    window = std::make_unique<MainWindow>(platform);
    window->show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
}

WindowTest::~WindowTest() = default;

GlyphGrid *WindowTest::grid(int glyph) const {
    auto *found = window->findChild<GlyphGrid *>(QStringLiteral("char%1").arg(glyph + 1));
    EXPECT_NE(found, nullptr);
    return found;
}

QListWidget *WindowTest::list(const char *name) const {
    auto *found = window->findChild<QListWidget *>(QString::fromLatin1(name));
    EXPECT_NE(found, nullptr) << name;
    return found;
}

QPushButton *WindowTest::button(const char *name) const {
    auto *found = window->findChild<QPushButton *>(QString::fromLatin1(name));
    EXPECT_NE(found, nullptr) << name;
    return found;
}

QString WindowTest::codeShown() const { return codeOf(window.get()); }

void WindowTest::clickCell(int glyph, int row, int col) {
    GlyphGrid *g = grid(glyph);
    QTest::mouseClick(g, Qt::LeftButton, {}, g->cellRect(row, col).center());
}

void WindowTest::clickEntry(const char *listName, int index) {
    QListWidget *l = list(listName);
    QTest::mouseClick(l->viewport(), Qt::LeftButton, {}, l->visualItemRect(l->item(index)).center());
}

void WindowTest::selectActions(std::initializer_list<int> rows) {
    for (int row : rows)
        clickEntry("action", row);
}

void WindowTest::press(const char *buttonName) { QTest::mouseClick(button(buttonName), Qt::LeftButton); }

void WindowTest::writeFile(const QString &name, const QByteArray &bytes) const {
    QFile file(path(name));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

std::optional<QByteArray> WindowTest::readFile(const QString &name) const {
    QFile file(path(name));
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return file.readAll();
}

std::optional<std::uint32_t> cellColor(GlyphGrid &grid, int row, int col) {
    const int oldRow = grid.row();
    const int oldCol = grid.col();
    grid.setRow(row);
    grid.setCol(col);
    const auto color = grid.cellBackColor();
    grid.setRow(oldRow);
    grid.setCol(oldCol);
    return color;
}

bool isLit(GlyphGrid &grid, int row, int col) { return cellColor(grid, row, col) == PIXEL_ON_COLOR; }

} // namespace glimmerset::test

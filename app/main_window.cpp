#include "app/main_window.h"

#include "app/window_font.h"
#include "app/window_icon.h"

#include "app/glyph_grid.h"
#include "app/twips.h"
#include "storage/error.h"
#include "storage/file_names.h"
#include "storage/glyph_file.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>

#include <limits>

namespace glimmerset {

namespace {

constexpr std::uint32_t kWindowBackColor = 0xC0C0C0;
// Captions and the credit label sit on the fixed grey, so their colour is
// fixed with it: a dark theme's light text would be unreadable there.
constexpr std::uint32_t kWindowTextColor = 0x000000;
constexpr int kClientWidthTwips = 8835;
constexpr int kClientHeightTwips = 7410;
constexpr int kColWidthTwips = 250;
// Five rows of this height fit `action` in any style's frame; a style's own,
// taller rows would hide "Copy to Clipboard".
constexpr int kActionRowHeight = 17;

const QString kGlyphFilter = QStringLiteral("*.ch");

QRect fromTwips(int left, int top, int width, int height) {
    return QRect(twipsToPixels(left), twipsToPixels(top), twipsToPixels(width),
                 twipsToPixels(height));
}

template <typename Widget> Widget *placed(Widget *widget, const char *name, QRect geometry) {
    widget->setObjectName(QString::fromLatin1(name));
    widget->setGeometry(geometry);
    return widget;
}

QListWidget *multiSelectList(QWidget *parent) {
    auto *list = new QListWidget(parent);
    list->setSelectionMode(QAbstractItemView::MultiSelection);
    list->setUniformItemSizes(true);
    list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    return list;
}

} // namespace

MainWindow::MainWindow(Platform &platform, QWidget *parent)
    : QWidget(parent), platform_(platform),
      save_(platform, FileDialogKind::Save, QStringLiteral("Save to ..."), kGlyphFilter),
      open1_(platform, FileDialogKind::Open, QStringLiteral("Open Character File ..."),
             kGlyphFilter) {
    setObjectName(QStringLiteral("main"));
    setWindowTitle(QStringLiteral("Glimmerset"));
    setWindowIcon(glimmersetIcon());
    setFont(windowFont());
    QPalette background = palette();
    background.setColor(QPalette::Window, toQColor(kWindowBackColor));
    background.setColor(QPalette::WindowText, toQColor(kWindowTextColor));
    setPalette(background);
    setAutoFillBackground(true);
    setFixedSize(twipsToPixels(kClientWidthTwips), twipsToPixels(kClientHeightTwips));

    buildControls();
    Form_Load();
    for (int i = 0; i < action_->count(); ++i)
        action_->item(i)->setSizeHint(QSize(0, kActionRowHeight));
}

void MainWindow::buildControls() {
    static constexpr std::array<QPoint, kGlyphCount> gridAt = {
        QPoint(120, 120),  QPoint(1680, 120),  QPoint(3240, 120),  QPoint(4800, 120),
        QPoint(120, 3000), QPoint(1680, 3000), QPoint(3240, 3000), QPoint(4800, 3000)};
    static constexpr std::array<QPoint, kGlyphCount> nameAt = {
        QPoint(120, 2280), QPoint(1680, 2280), QPoint(3240, 2280), QPoint(4800, 2280),
        QPoint(120, 2640), QPoint(1680, 2640), QPoint(3240, 2640), QPoint(4800, 2640)};

    for (int g = 0; g < kGlyphCount; ++g) {
        const QByteArray name = "char" + QByteArray::number(g + 1);
        grids_[g] = placed(new GlyphGrid(this), name.constData(),
                           fromTwips(gridAt[g].x(), gridAt[g].y(), 1455, 2055));
        connect(grids_[g], &GlyphGrid::clicked, this, [this, g] { char_Click(g); });
    }
    for (int g = 0; g < kGlyphCount; ++g) {
        const QByteArray name = "Text1_" + QByteArray::number(g);
        auto *edit = new QLineEdit(defaultGlyphName(g), this);
        edit->setMaxLength(std::numeric_limits<int>::max());
        names_[g] =
            placed(edit, name.constData(), fromTwips(nameAt[g].x(), nameAt[g].y(), 1455, 285));
    }

    code_ = placed(new QPlainTextEdit(this), "code", fromTwips(120, 5160, 6135, 2055));
    code_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    code_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    code_->setTabChangesFocus(true);
    code_->setTabStopDistance(code_->fontMetrics().horizontalAdvance(QLatin1Char(' ')) * 8);

    frame1_ = placed(new QGroupBox(QStringLiteral("Selection"), this), "Frame1",
                     fromTwips(6360, 120, 2415, 2295));
    box_ = placed(multiSelectList(frame1_), "Box", fromTwips(120, 240, 2175, 1410));
    // Eight short entries in two columns of four, so all show at once.
    box_->setFlow(QListView::TopToBottom);
    box_->setWrapping(true);
    box_->setResizeMode(QListView::Adjust);
    box_->setGridSize(QSize(68, 21));
    box_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // `clear` belongs to the window and lies in front of the frame.
    clear_ = placed(new QPushButton(QStringLiteral("Clear Selected"), this), "clear",
                    fromTwips(6720, 1920, 1695, 375));
    clear_->raise();
    connect(clear_, &QPushButton::clicked, this, &MainWindow::clear_Click);

    frame2_ = placed(new QGroupBox(QStringLiteral("Action"), this), "Frame2",
                     fromTwips(6360, 2520, 2415, 2415));
    action_ = placed(multiSelectList(frame2_), "action", fromTwips(120, 360, 2175, 1410));
    ccode_ = placed(new QPushButton(QStringLiteral("Create Selected"), frame2_), "Ccode",
                    fromTwips(360, 1920, 1695, 375));
    connect(ccode_, &QPushButton::clicked, this, &MainWindow::Ccode_Click);

    frame3_ = placed(new QGroupBox(this), "Frame3", fromTwips(6360, 5040, 2415, 1215));
    command2_ = placed(new QPushButton(QStringLiteral("Load Characters"), frame3_), "Command2",
                       fromTwips(360, 240, 1695, 375));
    command3_ = placed(new QPushButton(QStringLiteral("Save Characters"), frame3_), "Command3",
                       fromTwips(360, 720, 1695, 375));
    connect(command2_, &QPushButton::clicked, this, &MainWindow::Command2_Click);
    connect(command3_, &QPushButton::clicked, this, &MainWindow::Command3_Click);

    frame4_ = placed(new QGroupBox(this), "Frame4", fromTwips(6360, 6360, 2415, 975));
    label1_ = placed(new QLabel(frame4_), "Label1", fromTwips(120, 240, 2175, 615));
    label1_->setTextFormat(Qt::PlainText);
    label1_->setAlignment(Qt::AlignHCenter | Qt::AlignTop);

    // The frames' border runs through the middle of the caption, as the
    // layout's positions assume; styles that put the caption above the border
    // would have `Box` cover the top line of "Selection". A frame with a style
    // sheet no longer takes the window's palette, so the captions and the
    // credit label get their dark text here.
    const QString frameStyle =
        QStringLiteral(
            "QGroupBox { border: 2px groove #808080; margin-top: %1px; color: %2; }"
            "QGroupBox::title { subcontrol-origin: margin; left: 6px; padding: 0px 2px; }"
            "QLabel { color: %2; }")
            .arg(fontMetrics().height() / 2)
            .arg(toQColor(kWindowTextColor).name());
    for (QGroupBox *frame : {frame1_, frame2_, frame3_, frame4_})
        frame->setStyleSheet(frameStyle);

    nameForAssistiveTechnology();

    // Tab order as laid out: grids, Clear, Box, code, names, action, Create, Save, Load.
    QList<QWidget *> order(grids_.begin(), grids_.end());
    order << clear_ << box_ << code_;
    order.append(QList<QWidget *>(names_.begin(), names_.end()));
    order << action_ << ccode_ << command3_ << command2_;
    for (qsizetype i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);
}

// Screen readers say what each control is; a grid is named by its glyph and
// the glyph's name, and follows that name as it is typed.
void MainWindow::nameForAssistiveTechnology() {
    for (int g = 0; g < kGlyphCount; ++g) {
        GlyphGrid *grid = grids_[g];
        const auto nameGrid = [grid, g](const QString &name) {
            grid->setAccessibleName(QStringLiteral("Glyph %1, %2").arg(g + 1).arg(name));
        };
        nameGrid(names_[g]->text());
        connect(names_[g], &QLineEdit::textChanged, grid, nameGrid);
        grid->setAccessibleDescription(
            QStringLiteral("8 rows of 5 pixels; pressing a cell lights or darkens it"));
        names_[g]->setAccessibleName(QStringLiteral("Name of glyph %1").arg(g + 1));
    }
    code_->setAccessibleName(QStringLiteral("Code"));
    box_->setAccessibleName(frame1_->title());
    box_->setAccessibleDescription(QStringLiteral("The glyphs that Clear Selected clears"));
    action_->setAccessibleName(frame2_->title());
    action_->setAccessibleDescription(QStringLiteral("The parts that Create Selected makes"));
}

void MainWindow::Form_Load() {
    label1_->setText(QStringLiteral("24 Nov. 2000\nTalvoren"));
    // The grid needs no further settings: it never highlights a range.
    for (int c = 0; c < lcd::kGlyphColumns; ++c)
        for (GlyphGrid *grid : grids_)
            grid->setColWidth(c, kColWidthTwips);
    for (int g = 0; g < kGlyphCount; ++g)
        box_->addItem(glyphListEntry(g));
    action_->insertItem(kCharacterCodeRow, QStringLiteral("Character Code"));
    action_->insertItem(kRestOfCodeRow, QStringLiteral("Add the rest of the Code"));
    action_->insertItem(kTestProgramRow, QStringLiteral("Add a Test Program"));
    action_->insertItem(kSaveToFileRow, QStringLiteral("Save to File"));
    action_->insertItem(kClipboardRow, QStringLiteral("Copy to Clipboard"));
}

void MainWindow::char_Click(int glyph) {
    guarded([&] { toggle_current_cell(*grids_[glyph]); });
}

void MainWindow::clear_Click() {
    guarded([&] { clear_selected(grids_, *box_); });
}

GlyphNames MainWindow::glyphNames() const {
    GlyphNames names;
    for (int g = 0; g < kGlyphCount; ++g)
        names[g] = names_[g]->text();
    return names;
}

void MainWindow::Command3_Click() {
    guarded([&] {
        save_.setFilter(kGlyphFilter);
        if (!save_.show(this, kGlyphFileExtension.toString()))
            return;
        save_.setFileName(withExtension(save_.fileName(), kGlyphFileExtension));
        snapshot_grids(grids_, glyphSet_);
        glyphs_to_file(save_.fileName(), glyphNames(), glyphSet_);
    });
}

void MainWindow::Command2_Click() {
    guarded([&] {
        open1_.setFilter(kGlyphFilter);
        if (!open1_.show(this))
            return;
        // Read whole before anything changes, so a bad file leaves all as it was.
        const GlyphFileContent content = glyphs_from_file(open1_.fileName());
        for (int g = 0; g < kGlyphCount; ++g)
            names_[g]->setText(content.names[g]);
        glyphSet_ = content.glyphs;
        paint_grids(grids_, glyphSet_);
    });
}

void MainWindow::showMessage(const QString &text) {
    platform_.showMessage(this, text);
}

void MainWindow::guarded(const std::function<void()> &body) {
    try {
        body();
    } catch (const Error &e) {
        showMessage(e.message());
    } catch (const std::exception &e) {
        showMessage(
            QStringLiteral("Something went wrong: %1").arg(QString::fromLocal8Bit(e.what())));
    }
}

} // namespace glimmerset

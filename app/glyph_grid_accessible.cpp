#include "app/glyph_grid_accessible.h"

#include "app/glyph_grid.h"

#include <QAccessibleWidget>
#include <QPointer>

#include <array>

namespace glimmerset {

namespace {

constexpr int kCellCount = lcd::kGlyphRows * lcd::kGlyphColumns;

// One cell: no object of its own, so it is kept by the grid's interface.
class CellAccessible : public QAccessibleInterface,
                       public QAccessibleTableCellInterface,
                       public QAccessibleActionInterface {
public:
    CellAccessible(GlyphGrid *grid, int row, int col) : grid_(grid), row_(row), col_(col) {}

    GlyphGrid *grid() const { return grid_; }

    bool isValid() const override { return !grid_.isNull(); }
    QObject *object() const override { return nullptr; }
    QWindow *window() const override { return grid_ ? grid_->window()->windowHandle() : nullptr; }
    QAccessibleInterface *childAt(int, int) const override { return nullptr; }
    QAccessibleInterface *parent() const override {
        return QAccessible::queryAccessibleInterface(grid_.data());
    }
    QAccessibleInterface *child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface *) const override { return -1; }

    QString text(QAccessible::Text t) const override {
        if (!grid_ || t != QAccessible::Name)
            return {};
        return QStringLiteral("Row %1, column %2, %3")
            .arg(row_ + 1)
            .arg(col_ + 1)
            .arg(lit() ? QStringLiteral("lit") : QStringLiteral("dark"));
    }
    void setText(QAccessible::Text, const QString &) override {}
    QRect rect() const override {
        if (!grid_)
            return {};
        const QRect cell = grid_->cellRect(row_, col_);
        return QRect(grid_->mapToGlobal(cell.topLeft()), cell.size());
    }
    QAccessible::Role role() const override { return QAccessible::Cell; }
    QAccessible::State state() const override {
        QAccessible::State state;
        if (!grid_)
            return state;
        state.invisible = !grid_->isVisible();
        state.checkable = true;
        state.checked = lit();
        state.focused = grid_->hasFocus() && grid_->row() == row_ && grid_->col() == col_;
        return state;
    }
    void *interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::TableCellInterface)
            return static_cast<QAccessibleTableCellInterface *>(this);
        if (type == QAccessible::ActionInterface)
            return static_cast<QAccessibleActionInterface *>(this);
        return nullptr;
    }

    // The grid's current cell is all it ever selects; no range is selected.
    bool isSelected() const override { return false; }
    QList<QAccessibleInterface *> columnHeaderCells() const override { return {}; }
    QList<QAccessibleInterface *> rowHeaderCells() const override { return {}; }
    int columnIndex() const override { return col_; }
    int rowIndex() const override { return row_; }
    int columnExtent() const override { return 1; }
    int rowExtent() const override { return 1; }
    QAccessibleInterface *table() const override { return parent(); }

    QStringList actionNames() const override { return {pressAction()}; }
    QString localizedActionDescription(const QString &name) const override {
        return name == pressAction() ? QStringLiteral("Lights a dark cell or darkens a lit one")
                                     : QString();
    }
    void doAction(const QString &name) override {
        if (grid_ && name == pressAction())
            grid_->pressCell(row_, col_);
    }
    QStringList keyBindingsForAction(const QString &) const override { return {}; }

private:
    bool lit() const { return grid_->cellBackColorAt(row_, col_) == PIXEL_ON_COLOR; }

    QPointer<GlyphGrid> grid_;
    int row_;
    int col_;
};

class GridAccessible : public QAccessibleWidget, public QAccessibleTableInterface {
public:
    explicit GridAccessible(GlyphGrid *grid) : QAccessibleWidget(grid, QAccessible::Table) {}
    ~GridAccessible() override {
        for (QAccessible::Id id : cells_)
            if (id)
                QAccessible::deleteAccessibleInterface(id);
    }

    void *interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::TableInterface)
            return static_cast<QAccessibleTableInterface *>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    int childCount() const override { return kCellCount; }
    QAccessibleInterface *child(int index) const override {
        return index >= 0 && index < kCellCount
                   ? cellAt(index / lcd::kGlyphColumns, index % lcd::kGlyphColumns)
                   : nullptr;
    }
    int indexOfChild(const QAccessibleInterface *child) const override {
        const auto *cell = dynamic_cast<const CellAccessible *>(child);
        if (!cell || cell->grid() != grid())
            return -1;
        return cell->rowIndex() * lcd::kGlyphColumns + cell->columnIndex();
    }
    QAccessibleInterface *childAt(int x, int y) const override {
        const auto cell = grid()->cellAt(grid()->mapFromGlobal(QPoint(x, y)));
        return cell ? cellAt(cell->first, cell->second) : nullptr;
    }
    QAccessibleInterface *focusChild() const override {
        return grid()->hasFocus() ? cellAt(grid()->row(), grid()->col()) : nullptr;
    }

    QAccessibleInterface *caption() const override { return nullptr; }
    QAccessibleInterface *summary() const override { return nullptr; }
    QAccessibleInterface *cellAt(int row, int column) const override {
        if (row < 0 || row >= lcd::kGlyphRows || column < 0 || column >= lcd::kGlyphColumns)
            return nullptr;
        QAccessible::Id &id = cells_[row * lcd::kGlyphColumns + column];
        if (!id)
            id = QAccessible::registerAccessibleInterface(new CellAccessible(grid(), row, column));
        return QAccessible::accessibleInterface(id);
    }
    int selectedCellCount() const override { return 0; }
    QList<QAccessibleInterface *> selectedCells() const override { return {}; }
    QString columnDescription(int column) const override {
        return QStringLiteral("Column %1").arg(column + 1);
    }
    QString rowDescription(int row) const override { return QStringLiteral("Row %1").arg(row + 1); }
    int selectedColumnCount() const override { return 0; }
    int selectedRowCount() const override { return 0; }
    int columnCount() const override { return lcd::kGlyphColumns; }
    int rowCount() const override { return lcd::kGlyphRows; }
    QList<int> selectedColumns() const override { return {}; }
    QList<int> selectedRows() const override { return {}; }
    bool isColumnSelected(int) const override { return false; }
    bool isRowSelected(int) const override { return false; }
    // Only a click changes the grid; selecting from outside changes nothing.
    bool selectRow(int) override { return false; }
    bool selectColumn(int) override { return false; }
    bool unselectRow(int) override { return false; }
    bool unselectColumn(int) override { return false; }
    void modelChange(QAccessibleTableModelChangeEvent *) override {}

private:
    GlyphGrid *grid() const { return static_cast<GlyphGrid *>(widget()); }

    mutable std::array<QAccessible::Id, kCellCount> cells_{};
};

QAccessibleInterface *glyphGridAccessible(const QString &className, QObject *object) {
    if (className == QLatin1String(GlyphGrid::staticMetaObject.className()) && object &&
        object->isWidgetType())
        return new GridAccessible(static_cast<GlyphGrid *>(object));
    return nullptr;
}

} // namespace

void installGlyphGridAccessibility() {
    static const bool installed = (QAccessible::installFactory(&glyphGridAccessible), true);
    Q_UNUSED(installed);
}

} // namespace glimmerset

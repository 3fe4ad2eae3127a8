#include "ui/widgets/word_list_view.h"

#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>

TWordListView::TWordListView(QWidget* parent) : QListView(parent) {
    setUniformItemSizes(true);
    setVerticalScrollMode(ScrollPerPixel);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
}

void TWordListView::setRowHeight(int height) {
    rowHeight_ = std::max(1, height);
    doItemsLayout();
}

int TWordListView::rowCount() const {
    return model() ? model()->rowCount(rootIndex()) : 0;
}

int TWordListView::rowAtY(int y) const {
    const int content = y + verticalOffset();
    // Floor division, so that points above the first row give a negative row.
    return content >= 0 ? content / rowHeight_ : -1;
}

QRect TWordListView::rowRect(int row) const {
    return QRect(0, row * rowHeight_ - verticalOffset(), viewport()->width(), rowHeight_);
}

QRect TWordListView::visualRect(const QModelIndex& index) const {
    if (!index.isValid() || index.parent() != rootIndex() || index.row() >= rowCount())
        return {};
    return rowRect(index.row());
}

QModelIndex TWordListView::indexAt(const QPoint& point) const {
    if (!model() || point.x() < 0 || point.x() >= viewport()->width())
        return {};
    const int row = rowAtY(point.y());
    if (row < 0 || row >= rowCount())
        return {};
    return model()->index(row, modelColumn(), rootIndex());
}

void TWordListView::scrollTo(const QModelIndex& index, ScrollHint hint) {
    if (!index.isValid())
        return;
    const int top = index.row() * rowHeight_;
    const int height = viewport()->height();
    const int offset = verticalOffset();
    int value = offset;
    switch (hint) {
        case EnsureVisible:
            if (top < offset)
                value = top;
            else if (top + rowHeight_ > offset + height)
                value = top + rowHeight_ - height;
            break;
        case PositionAtTop:
            value = top;
            break;
        case PositionAtBottom:
            value = top + rowHeight_ - height;
            break;
        case PositionAtCenter:
            value = top - (height - rowHeight_) / 2;
            break;
    }
    // After a reset (a tab change) Qt updates the scroll range only later, on its delayed
    // layout; the old range would clamp the value and leave the row out of view.
    updateGeometries();
    verticalScrollBar()->setValue(value);
}

void TWordListView::doItemsLayout() {
    // Nothing to lay out row by row: the geometry follows from the row count. QListView's own
    // per-row layout is skipped on purpose.
    QAbstractItemView::doItemsLayout();
}

QModelIndex TWordListView::moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers) {
    const int rows = rowCount();
    if (rows == 0)
        return {};
    const QModelIndex current = currentIndex();
    if (!current.isValid())
        return model()->index(0, modelColumn(), rootIndex());
    const int page = std::max(1, viewport()->height() / rowHeight_ - 1);
    int row = current.row();
    switch (cursorAction) {
        case MoveUp:
        case MovePrevious:
            --row;
            break;
        case MoveDown:
        case MoveNext:
            ++row;
            break;
        case MovePageUp:
            row -= page;
            break;
        case MovePageDown:
            row += page;
            break;
        case MoveHome:
            row = 0;
            break;
        case MoveEnd:
            row = rows - 1;
            break;
        case MoveLeft:
        case MoveRight:
            break;
    }
    row = std::clamp(row, 0, rows - 1);
    return model()->index(row, modelColumn(), rootIndex());
}

int TWordListView::horizontalOffset() const {
    return 0;
}

int TWordListView::verticalOffset() const {
    return verticalScrollBar()->value();
}

bool TWordListView::isIndexHidden(const QModelIndex&) const {
    return false;
}

void TWordListView::setSelection(const QRect& rect, QItemSelectionModel::SelectionFlags command) {
    const int rows = rowCount();
    const QRect area = rect.normalized();
    const int first = std::max(0, rowAtY(area.top()));
    const int last = std::min(rows - 1, rowAtY(area.bottom()));
    if (rows == 0 || first > last || last < 0) {
        selectionModel()->select(QItemSelection(), command);
        return;
    }
    const QItemSelection selection(model()->index(first, modelColumn(), rootIndex()),
                                   model()->index(last, modelColumn(), rootIndex()));
    selectionModel()->select(selection, command);
}

QRegion TWordListView::visualRegionForSelection(const QItemSelection& selection) const {
    QRegion region;
    for (const QItemSelectionRange& range : selection) {
        if (range.parent() != rootIndex())
            continue;
        const QRect top = rowRect(range.top());
        region += QRect(top.topLeft(), QSize(viewport()->width(), range.height() * rowHeight_));
    }
    return region & viewport()->rect();
}

void TWordListView::paintEvent(QPaintEvent* event) {
    const int rows = rowCount();
    if (rows == 0)
        return;
    QPainter painter(viewport());
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    const QStyle::State base = option.state;
    const bool focused = hasFocus() && currentIndex().isValid();
    const QModelIndex current = currentIndex();
    const QItemSelectionModel* selection = selectionModel();

    const QRect area = event->rect();
    const int first = std::max(0, rowAtY(area.top()));
    const int last = std::min(rows - 1, rowAtY(area.bottom()));
    for (int row = first; row <= last; ++row) {
        const QModelIndex index = model()->index(row, modelColumn(), rootIndex());
        option.rect = rowRect(row);
        option.state = base;
        if (selection && selection->isSelected(index))
            option.state |= QStyle::State_Selected;
        if (focused && index == current)
            option.state |= QStyle::State_HasFocus;
        if (isActiveWindow())
            option.state |= QStyle::State_Active;
        itemDelegateForIndex(index)->paint(&painter, option, index);
    }
}

void TWordListView::updateGeometries() {
    const int height = viewport()->height();
    QScrollBar* bar = verticalScrollBar();
    bar->setSingleStep(rowHeight_);
    bar->setPageStep(std::max(1, height));
    // Rows are counted in pixels below; a list of over a hundred million rows would overflow.
    const qint64 content = static_cast<qint64>(rowCount()) * rowHeight_;
    bar->setRange(0, static_cast<int>(std::clamp<qint64>(content - height, 0, INT_MAX)));
    horizontalScrollBar()->setRange(0, 0);
    QAbstractItemView::updateGeometries();
}

void TWordListView::scrollContentsBy(int dx, int dy) {
    viewport()->scroll(dx, dy);
}

void TWordListView::resizeEvent(QResizeEvent* event) {
    QAbstractItemView::resizeEvent(event);
}

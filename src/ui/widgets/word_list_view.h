#pragma once

#include <QListView>

// The word list's view: a list of rows of one height, as wide as the view, laid out by
// arithmetic alone. A QListView lays out every row on each reset, one step per row; with a
// million terms that is tens of milliseconds per tab change, while here a reset costs the
// same for any number of rows. Row i lies at y = i * rowHeight; only the rows inside the
// viewport are ever asked for.
//
// The view keeps QListView's type and signals (the window and its tests know it as one) and
// replaces everything that depends on the layout: geometry, hit testing, scrolling, keyboard
// movement, rubber-band selection and painting. Hidden rows are not supported.
class TWordListView : public QListView {
    Q_OBJECT

public:
    explicit TWordListView(QWidget* parent = nullptr);

    // Height of every row in pixels; 15 unless set.
    int rowHeight() const { return rowHeight_; }
    void setRowHeight(int height);

    QRect visualRect(const QModelIndex& index) const override;
    void scrollTo(const QModelIndex& index, ScrollHint hint = EnsureVisible) override;
    QModelIndex indexAt(const QPoint& point) const override;
    void doItemsLayout() override;

protected:
    QModelIndex moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers) override;
    int horizontalOffset() const override;
    int verticalOffset() const override;
    bool isIndexHidden(const QModelIndex& index) const override;
    void setSelection(const QRect& rect, QItemSelectionModel::SelectionFlags command) override;
    QRegion visualRegionForSelection(const QItemSelection& selection) const override;
    void paintEvent(QPaintEvent* event) override;
    void updateGeometries() override;
    void scrollContentsBy(int dx, int dy) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    int rowCount() const;
    int rowAtY(int y) const;  // row under viewport coordinate y, unclamped
    QRect rowRect(int row) const;

    int rowHeight_ = 15;
};

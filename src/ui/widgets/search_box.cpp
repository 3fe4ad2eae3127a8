#include "ui/widgets/search_box.h"

#include <QAbstractItemView>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QScopedValueRollback>
#include <QScreen>
#include <QScrollBar>
#include <QStyle>

TSearchBox::TSearchBox(QWidget* parent) : QComboBox(parent) {
    // The size hint counts a few characters, never the entries; the layout gives the rest.
    setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    setMinimumContentsLength(4);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

int TSearchBox::popupWidth() const {
    const QAbstractItemView* list = view();
    int wanted = list->sizeHintForColumn(0) + 2 * list->frameWidth();
    if (count() > maxVisibleItems())
        wanted += style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, list);
    const int screenWidth = screen() ? screen()->availableGeometry().width() : wanted;
    return std::max(width(), std::min(wanted, screenWidth));
}

void TSearchBox::showPopup() {
    view()->setMinimumWidth(popupWidth());
    QComboBox::showPopup();
}

template <typename Handle>
void TSearchBox::typed(Handle handle) {
    const QString before = currentText();
    {
        const QScopedValueRollback<bool> scope(typing_, true);
        handle();
    }
    if (currentText() != before)
        emit textTyped(currentText());
}

void TSearchBox::keyPressEvent(QKeyEvent* event) {
    typed([&] { QComboBox::keyPressEvent(event); });
}

void TSearchBox::inputMethodEvent(QInputMethodEvent* event) {
    typed([&] { QComboBox::inputMethodEvent(event); });
}

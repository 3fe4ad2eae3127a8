#pragma once

#include <QComboBox>

// The search box's combo box. Its width is the layout's, never its entries': an entry hundreds
// of characters long would otherwise widen the box, and with it the main window, past the
// screen. The drop-down list alone grows to show the longest entry, up to the screen's width.
//
// A key typed into the box may change its text twice: first to the typed letters, then to
// those letters completed from the history. Such a key is reported once, by textTyped, with
// the whole text it left in the box.
class TSearchBox : public QComboBox {
    Q_OBJECT

public:
    explicit TSearchBox(QWidget* parent = nullptr);

    // True while the box is handling a key or typed input; its text changes are then
    // reported by textTyped once the key is through, not one by one.
    bool isTyping() const { return typing_; }

    // The width the drop-down list opens with: the box's own, or wider to show the longest
    // entry, but never wider than the screen the box is on.
    int popupWidth() const;

    void showPopup() override;

signals:
    // A key or typed input changed the text; text is all of it now in the box, any completion
    // included.
    void textTyped(const QString& text);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;

private:
    // Runs one key's handling and reports the text it leaves, if it changed.
    template <typename Handle>
    void typed(Handle handle);

    bool typing_ = false;
};

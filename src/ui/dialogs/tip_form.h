#pragma once

#include <QDialog>
#include <QString>

#include <array>
#include <functional>

class QFrame;
class QLabel;
class QPlainTextEdit;
class QPushButton;

// The tips of the day, in the order "Следующий" walks them.
inline constexpr int kTipCount = 6;
// The table of tips, made once and shared by every tip window.
const std::array<QString, kTipCount>& Tips();

// The tip of the day: a header, an empty line and one tip; "Следующий" shows the next tip,
// cycling through the table. Which tip comes first is drawn at random each time it is shown.
class TTipForm : public QDialog {
    Q_OBJECT

public:
    // A source of non-negative pseudo-random numbers; the first tip is its next number modulo
    // the number of tips.
    using TRandom = std::function<unsigned()>;

    // Builds the window (client 329 × 196, "Совет", centred), not shown. An empty random
    // means the C library's generator seeded with the current time in seconds.
    explicit TTipForm(QWidget* parent = nullptr, TRandom random = {});
    ~TTipForm() override;

    // Draws the first tip and fills Memo1 with the header, an empty line and that tip. Runs
    // when the window is first shown.
    void FormActivate();
    // "Следующий": the next tip in table order (after the last comes the first), alone under
    // the header.
    void Button2Click();

    // The index in Tips() of the tip now shown.
    int TipIndex = 0;

    QFrame* Panel1 = nullptr;
    QLabel* Image1 = nullptr;
    QPlainTextEdit* Memo1 = nullptr;
    QPushButton* Button2 = nullptr;
    QPushButton* Button1 = nullptr;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void showTip();

    TRandom random_;
    bool activated_ = false;
};

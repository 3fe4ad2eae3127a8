#include "ui/dialogs/info_form.h"

#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRect>

#include <limits>

#include "dictionary/dictionary.h"
#include "ui/dialogs.h"
#include "ui/dialogs/form_parts.h"
#include "ui/text.h"

namespace {

constexpr int kClientWidth = 265;
constexpr int kClientHeight = 288;
constexpr int kLabelHeight = 13;
constexpr int kLabelGap = 3;  // between a label and the box below it

// A read-only box that Tab passes by, as the dialog is built.
void makeReadOnly(QWidget& box) {
    box.setFocusPolicy(Qt::ClickFocus);
}

}  // namespace

TInfoForm::TInfoForm(TDialogs& dialogs, QWidget* parent) : QDialog(parent), dialogs_(dialogs) {
    createControls();
    centreOnScreen(*this);
}

TInfoForm::~TInfoForm() = default;

void TInfoForm::createControls() {
    setUpFixedDialog(*this, QStringLiteral("Информация"), QSize(kClientWidth, kClientHeight));

    auto* bevel = new QFrame(this);
    bevel->setFrameStyle(QFrame::Box | QFrame::Sunken);
    bevel->setGeometry(0, 0, kClientWidth, kClientHeight);

    const auto label = [this](const QString& text, int left, int top) {
        return placeLabel(this, new QLabel(text), "", left, top);
    };
    const auto lineBox = [&](const char* name, const QString& caption, int top) {
        label(caption, 10, top - kLabelGap - kLabelHeight);
        auto* box = new QLineEdit(this);
        box->setObjectName(QString::fromLatin1(name));
        box->setGeometry(10, top, 241, 21);
        // The header texts of a file may be longer than a line edit takes by default; showing
        // one must not shorten it.
        box->setMaxLength(std::numeric_limits<int>::max());
        box->setReadOnly(true);
        makeReadOnly(*box);
        return box;
    };
    edName = lineBox("edName", QStringLiteral("Название словаря:"), 30);
    edAuthor = lineBox("edAuthor", QStringLiteral("Автор-составитель:"), 75);

    label(QStringLiteral("Дополнительная информация:"), 10, 110);
    edInfo = new QPlainTextEdit(this);
    edInfo->setObjectName(QStringLiteral("edInfo"));
    edInfo->setGeometry(10, 125, 241, 89);
    edInfo->setReadOnly(true);
    edInfo->setTabChangesFocus(true);
    makeReadOnly(*edInfo);

    label(QStringLiteral("Количество терминов в словаре:"), 10, 225);
    lbTotal = label(QStringLiteral("0"), 185, 225);
    lbTotal->setObjectName(QStringLiteral("lbTotal"));
    QFont bold = lbTotal->font();
    bold.setBold(true);
    lbTotal->setFont(bold);
    lbTotal->resize(60, kLabelHeight + 2);

    Button1 = placeButton(this, "Button1", QStringLiteral("Ok!"), QRect(50, 250, 75, 25), true);
    Button2 =
        placeButton(this, "Button2", QStringLiteral("Отмена"), QRect(135, 250, 75, 25), false);
    connect(Button1, &QPushButton::clicked, this, &QDialog::accept);
    connect(Button2, &QPushButton::clicked, this, &QDialog::reject);

    setTabOrder(edName, edAuthor);
    setTabOrder(edAuthor, edInfo);
    setTabOrder(edInfo, Button1);
    setTabOrder(Button1, Button2);
}

void TInfoForm::MakeEditable() {
    for (QWidget* box : {static_cast<QWidget*>(edName), static_cast<QWidget*>(edAuthor),
                         static_cast<QWidget*>(edInfo)})
        box->setFocusPolicy(Qt::StrongFocus);
    edName->setReadOnly(false);
    edAuthor->setReadOnly(false);
    edInfo->setReadOnly(false);
    centreOnScreen(*this);
}

void TInfoForm::fill(const TDictionary& dictionary) {
    const TTextForm form = dictionary.textForm();
    edName->setText(fromForm(dictionary.Name(), form));
    edName->setCursorPosition(0);
    edAuthor->setText(fromForm(dictionary.Author(), form));
    edAuthor->setCursorPosition(0);
    edInfo->setPlainText(toBoxLines(fromForm(dictionary.Info(), form)));
    lbTotal->setText(QString::number(dictionary.Count()));
}

std::optional<TInfoTexts> TInfoForm::texts() const {
    std::optional<std::string> name = toCp1251(edName->text());
    std::optional<std::string> author = toCp1251(edAuthor->text());
    std::optional<std::string> info = toCp1251(fromBoxLines(*edInfo->document()));
    if (!name || !author || !info)
        return std::nullopt;
    return TInfoTexts{std::move(*name), std::move(*author), std::move(*info)};
}

void TInfoForm::done(int result) {
    if (result == QDialog::Accepted) {
        if (const std::optional<char32_t> bad = firstUnstorable(
                {edName->text(), edAuthor->text(), fromBoxLines(*edInfo->document())})) {
            dialogs_.information(this, unstorableCharacterText(*bad));
            return;
        }
    }
    QDialog::done(result);
}

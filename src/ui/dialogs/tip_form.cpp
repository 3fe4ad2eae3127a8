#include "ui/dialogs/tip_form.h"

#include <QFrame>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRect>
#include <QShowEvent>
#include <QUrl>

#include <cstdlib>
#include <ctime>

#include "settings/program_identity.h"
#include "ui/dialogs/form_parts.h"
#include "ui/widgets/image_list.h"

namespace {

constexpr int kClientWidth = 329;
constexpr int kClientHeight = 196;
const QString kHeader = QStringLiteral("А знаете ли вы что?...");

// How many dictionaries the build bundles, counted by the build from its list of them.
#ifndef TERMOVEL_BUNDLED_DIC_COUNT
#error "TERMOVEL_BUNDLED_DIC_COUNT must give the number of bundled dictionaries"
#endif

// "1 словарь", "3 словаря", "9 словарей": the number with the noun in its Russian form.
QString dictionaries(int count) {
    const int lastTwo = count % 100;
    const int last = count % 10;
    const char* noun = "словарей";
    if (last == 1 && lastTwo != 11)
        noun = "словарь";
    else if (last >= 2 && last <= 4 && (lastTwo < 12 || lastTwo > 14))
        noun = "словаря";
    return QStringLiteral("%1 ").arg(count) + QString::fromUtf8(noun);
}

unsigned timeSeededRandom() {
    std::srand(static_cast<unsigned>(std::time(nullptr)));
    return static_cast<unsigned>(std::rand());
}

}  // namespace

const std::array<QString, kTipCount>& Tips() {
    static const std::array<QString, kTipCount> tips = {
        // The site by its host name alone: one word, so the box never wraps it in the middle.
        QStringLiteral("Новые словари и обновления программы ищите на её официальном сайте ") +
            QUrl(QString::fromUtf8(ProgramSite)).host(),
        QStringLiteral("В состав программы входят %1, в том числе англо-русский словарь, "
                       "словарь аккордов для гитары и словарь компьютерного слэнга")
            .arg(dictionaries(TERMOVEL_BUNDLED_DIC_COUNT)),
        QStringLiteral("С помощью программы Termovel вы можете создавать свои собственные "
                       "словари"),
        QStringLiteral("Для того, чтобы создать свой словарь сначала необходимо включить опцию "
                       "редактирования в настройках программы"),
        QStringLiteral("В настройках программы вы можете указать, какие именно словари следует "
                       "загружать по умолчанию"),
        QStringLiteral("Вы можете работать сразу с несколькими словарями, просматривая термины "
                       "в различных окнах"),
    };
    return tips;
}

TTipForm::TTipForm(QWidget* parent, TRandom random)
    : QDialog(parent), random_(random ? std::move(random) : TRandom(timeSeededRandom)) {
    setUpFixedDialog(*this, QStringLiteral("Совет"), QSize(kClientWidth, kClientHeight));

    // The tip lies on a lowered panel in the text-box colour, the picture at its top left.
    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setGeometry(16, 8, 297, 145);
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Panel1->setAutoFillBackground(true);
    Panel1->setBackgroundRole(QPalette::Base);

    Image1 = new QLabel(Panel1);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(8, 8, 40, 53);
    Image1->setPixmap(pictureAt(kTipPicturePath, QSize(40, 53), devicePixelRatio()));

    Memo1 = new QPlainTextEdit(Panel1);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setGeometry(56, 16, 225, 113);
    Memo1->setFrameStyle(QFrame::NoFrame);
    Memo1->setReadOnly(true);
    Memo1->setFocusPolicy(Qt::NoFocus);
    Memo1->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Memo1->viewport()->setAutoFillBackground(false);
    Memo1->document()->setDocumentMargin(0);

    Button2 =
        placeButton(this, "Button2", QStringLiteral("Следующий"), QRect(136, 160, 83, 25), false);
    Button1 =
        placeButton(this, "Button1", QStringLiteral("&Закрыть"), QRect(224, 160, 83, 25), true);
    connect(Button2, &QPushButton::clicked, this, &TTipForm::Button2Click);
    connect(Button1, &QPushButton::clicked, this, &QDialog::accept);

    centreOnScreen(*this);
}

TTipForm::~TTipForm() = default;

void TTipForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // Once per showing: coming back to the window must not add the tip again.
    if (!activated_ && !event->spontaneous()) {
        activated_ = true;
        FormActivate();
    }
}

void TTipForm::FormActivate() {
    TipIndex = static_cast<int>(random_() % kTipCount);
    showTip();
}

void TTipForm::Button2Click() {
    TipIndex = (TipIndex + 1) % kTipCount;
    showTip();
}

void TTipForm::showTip() {
    Memo1->setPlainText(kHeader + QStringLiteral("\n\n") + Tips()[TipIndex]);
}

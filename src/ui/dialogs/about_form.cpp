#include "ui/dialogs/about_form.h"

#include <QKeyEvent>
#include <QLabel>

#include "settings/program_identity.h"
#include "ui/widgets/image_list.h"

namespace {

constexpr int kWidth = 360;
constexpr int kHeight = 270;
constexpr int kColumnLeft = 95;
constexpr int kColumnWidth = kWidth - kColumnLeft - 10;

}  // namespace

TAboutForm::TAboutForm(QWidget* parent, TLinkOpener openLink)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint),
      openLink_(orShellOpen(std::move(openLink))) {
    setWindowTitle(QStringLiteral("О программе"));
    setFont(dialogFont());
    setFixedSize(kWidth, kHeight);

    Image1 = new TClickableLabel(QString(), this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(0, 0, kWidth, kHeight);
    Image1->setPixmap(pictureAt(kAboutPicturePath, QSize(kWidth, kHeight), devicePixelRatio()));
    connect(Image1, &TClickableLabel::clicked, this, &TAboutForm::Image1Click);

    const auto label = [this](auto* l, const char* name, int left, int top) {
        return placeLabel(this, l, name, left, top);
    };
    const auto wrapped = [&](const QString& text, const char* name, int top) {
        auto* l = label(new QLabel(text), name, kColumnLeft, top);
        l->setWordWrap(true);
        l->setFixedWidth(kColumnWidth);
        l->setFixedHeight(l->heightForWidth(kColumnWidth));
        return l;
    };
    const auto link = [&](const QString& text, const char* name, int left, int top, bool coloured) {
        auto* l = new TClickableLabel(text);
        makeLink(*l, coloured);
        label(l, name, left, top);
        return l;
    };

    lbTitle = label(new QLabel, "lbTitle", kColumnLeft, 45);
    lbTitle->setFont(titleFont());
    lbTitle->resize(kColumnWidth, 22);
    Label1 = wrapped(QStringLiteral("Официальный сайт этой программы:"), "Label1", 90);
    lbProgramSite = link(QString::fromUtf8(ProgramSite), "lbProgramSite", kColumnLeft, 125, true);
    Label2 = wrapped(
        QStringLiteral("Письма с пожеланиями и сообщениями об ошибках отправляйте по адресу:"),
        "Label2", 160);
    lbEmail = link(QString::fromUtf8(kProgramEmail), "lbEmail", kColumnLeft, 195, true);
    Label3 = label(new QLabel(QString::fromUtf8(kCopyrightNotice)), "Label3", 175, 250);
    lbURL = link(QString::fromUtf8(kMakerSite), "lbURL", 245, 250, false);

    connect(lbProgramSite, &TClickableLabel::clicked, this, &TAboutForm::lbProgramSiteClick);
    connect(lbEmail, &TClickableLabel::clicked, this, &TAboutForm::lbEmailClick);
    connect(lbURL, &TClickableLabel::clicked, this, &TAboutForm::lbURLClick);

    FormCreate();
    centreOnScreen(*this);
}

TAboutForm::~TAboutForm() = default;

void TAboutForm::FormCreate() {
    lbTitle->setText(QString::fromUtf8(ProgramTitle));
}

void TAboutForm::Image1Click() {
    reject();
}

bool TAboutForm::FormKeyPress(QChar key) {
    if (key.unicode() != 27)
        return false;
    reject();
    return true;
}

void TAboutForm::lbProgramSiteClick() {
    openLink_(lbProgramSite->text());
}

void TAboutForm::lbEmailClick() {
    openLink_(QStringLiteral("mailto:") + lbEmail->text());
}

void TAboutForm::lbURLClick() {
    openLink_(lbURL->text());
}

void TAboutForm::keyPressEvent(QKeyEvent* event) {
    // Only Esc does anything here; Enter and the rest must not close the window as a dialog's
    // keys otherwise would.
    const QChar key = event->key() == Qt::Key_Escape ? QChar(27) : QChar();
    if (!FormKeyPress(key))
        event->accept();
}

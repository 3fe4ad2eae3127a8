#include "ui/dialogs/logo_form.h"

#include <QLabel>
#include <QTimer>

#include "settings/program_identity.h"
#include "ui/widgets/image_list.h"

namespace {

constexpr int kWidth = 300;
constexpr int kHeight = 225;
constexpr int kShowMs = 2000;

}  // namespace

TLogoForm::TLogoForm(TLinkOpener openLink, QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint),
      openLink_(orShellOpen(std::move(openLink))) {
    setFont(dialogFont());
    setFixedSize(kWidth, kHeight);

    Image1 = new TClickableLabel(QString(), this);
    Image1->setGeometry(0, 0, kWidth, kHeight);
    Image1->setPixmap(pictureAt(kSplashPicturePath, QSize(kWidth, kHeight), devicePixelRatio()));

    // The title sits on the picture's light plate, centred on it.
    lbTitle = new QLabel(this);
    lbTitle->setObjectName(QStringLiteral("lbTitle"));
    lbTitle->setGeometry(125, 100, 135, 22);
    lbTitle->setAlignment(Qt::AlignCenter);
    lbTitle->setFont(titleFont());

    Label2 = placeLabel(this, new QLabel(QString::fromUtf8(kCopyrightNotice)), "Label2", 115, 205);
    lbURL = placeLabel(this, new TClickableLabel(QString::fromUtf8(kMakerSite)), "lbURL", 185, 205);
    makeLink(*lbURL, false);
    connect(lbURL, &TClickableLabel::clicked, this, &TLogoForm::lbURLClick);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(kShowMs);
    // A coarse timer may fire up to 5 % early; the splash stays its full 2000 ms.
    Timer1->setTimerType(Qt::PreciseTimer);
    connect(Timer1, &QTimer::timeout, this, &TLogoForm::Timer1Timer);
    Timer1->start();

    FormCreate();
    centreOnScreen(*this);
}

TLogoForm::~TLogoForm() = default;

void TLogoForm::FormCreate() {
    lbTitle->setText(QString::fromUtf8(ProgramTitle));
    shrinkToFit(*lbTitle);
}

void TLogoForm::Timer1Timer() {
    Timer1->stop();
}

void TLogoForm::lbURLClick() {
    openLink_(lbURL->text());
}

bool TLogoForm::timerEnabled() const {
    return Timer1->isActive();
}

#include "ui/dialogs/import_progress.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <utility>

#include "ui/dialogs.h"
#include "ui/text.h"

namespace {

constexpr int kTermWidth = 320;  // pixels; a longer term is shown cut with an ellipsis
constexpr int kPermille = 1000;

}  // namespace

// --- The window ---

TImportProgressForm::TImportProgressForm(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("ImportProgressForm"));
    setWindowTitle(QStringLiteral("Импорт"));
    // Modal for the whole program: the import processes pending events itself, and nothing but
    // this window may take the user's input meanwhile.
    setWindowModality(Qt::ApplicationModal);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    auto* layout = new QVBoxLayout(this);
    lbTerm = new QLabel(this);
    lbTerm->setObjectName(QStringLiteral("lbTerm"));
    lbTerm->setFixedWidth(kTermWidth);
    lbTerm->setTextFormat(Qt::PlainText);
    layout->addWidget(lbTerm);
    pbRead = new QProgressBar(this);
    pbRead->setObjectName(QStringLiteral("pbRead"));
    pbRead->setRange(0, kPermille);
    pbRead->setTextVisible(false);
    layout->addWidget(pbRead);
    lbBytes = new QLabel(this);
    lbBytes->setObjectName(QStringLiteral("lbBytes"));
    layout->addWidget(lbBytes);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    btnCancel = new QPushButton(QStringLiteral("Отмена"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    buttons->addWidget(btnCancel);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(btnCancel, &QPushButton::clicked, this, &TImportProgressForm::reject);
}

void TImportProgressForm::showProgress(uint64_t bytesRead, uint64_t totalBytes,
                                       std::string_view term) {
    const QString text = fromCp1251(term);
    lbTerm->setToolTip(text);
    lbTerm->setText(lbTerm->fontMetrics().elidedText(text, Qt::ElideRight, kTermWidth));
    // The file may have grown since its size was taken; the bar never runs past its end.
    const uint64_t total = std::max(totalBytes, bytesRead);
    pbRead->setValue(total == 0 ? kPermille : static_cast<int>(bytesRead * kPermille / total));
    const QLocale russian(QLocale::Russian, QLocale::Russia);
    lbBytes->setText(QStringLiteral("Прочитано %1 из %2 байт")
                         .arg(russian.toString(static_cast<qulonglong>(bytesRead)),
                              russian.toString(static_cast<qulonglong>(total))));
    emit progressed();
}

QString TImportProgressForm::termText() const {
    return lbTerm->toolTip();
}

QString TImportProgressForm::bytesText() const {
    return lbBytes->text();
}

int TImportProgressForm::permille() const {
    return pbRead->value();
}

void TImportProgressForm::reject() {
    // Stopping is the import's own business: it ends after the block it is reading, and then
    // takes this window down.
    cancelRequested_ = true;
    btnCancel->setEnabled(false);
}

// --- The runner ---

TImportRunner::TImportRunner(QWidget* parent, TDialogs& dialogs)
    : parent_(parent), dialogs_(dialogs) {}

TImportRunner::~TImportRunner() = default;

void TImportRunner::setOnUpdate(std::function<void(std::string_view)> onUpdate) {
    onUpdate_ = std::move(onUpdate);
}

TImportResult TImportRunner::run(TDictionary& dictionary, const std::string& path) {
    TImportProgressForm form(parent_);
    form_ = &form;
    lastTerm_.clear();
    interval_ = dialogs_.progressInterval();
    nextUpdate_ = interval_;
    clock_.start();
    // The window goes down with this frame, also when the import raises.
    struct TRelease {
        TImportRunner& runner;
        ~TRelease() { runner.form_ = nullptr; }
    } release{*this};
    return importText(dictionary, path,
                      [this](const TImportProgress& progress) { return step(progress); });
}

bool TImportRunner::step(const TImportProgress& progress) {
    // Reading the clock costs a few nanoseconds; drawing and the event loop are paid only once
    // per interval.
    if (clock_.elapsed() < nextUpdate_) {
        lastTerm_.assign(progress.term);
        return true;
    }
    if (!form_->isVisible())
        dialogs_.showProgress(*form_);
    form_->showProgress(progress.bytesRead, progress.totalBytes, progress.term);
    if (onUpdate_)
        onUpdate_(progress.term);
    QCoreApplication::processEvents();
    nextUpdate_ = clock_.elapsed() + interval_;
    // A Cancel given while events were processed stops the import before this block.
    if (form_->cancelRequested())
        return false;
    lastTerm_.assign(progress.term);
    return true;
}

#include "ui/dialogs/article_search_form.h"

#include <QAbstractListModel>
#include <QApplication>
#include <QElapsedTimer>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QProgressBar>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QVBoxLayout>

#include <algorithm>
#include <optional>
#include <string>
#include <utility>

#include "dictionary/article_search.h"
#include "dictionary/dictionary.h"
#include "dictionary/term_index.h"
#include "ui/dialogs.h"
#include "ui/text.h"

namespace {

// Terms searched between two looks at the clock: small enough that Cancel answers at once,
// large enough that looking costs nothing beside the search.
constexpr int kSearchStep = 4096;

}  // namespace

// The terms found, read from the dictionary as they are shown: a search that finds every term
// of a large dictionary copies no text.
class TFoundTermsModel : public QAbstractListModel {
public:
    TFoundTermsModel(const TDictionary& dictionary, QObject* parent)
        : QAbstractListModel(parent), dictionary_(dictionary) {}

    int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : static_cast<int>(rows.size());
    }
    QVariant data(const QModelIndex& index, int role) const override {
        if (!index.isValid() || index.row() >= rowCount() || role != Qt::DisplayRole)
            return {};
        return fromForm(dictionary_.Term(rows[static_cast<size_t>(index.row())]),
                        dictionary_.textForm());
    }
    void show(std::vector<int> found) {
        beginResetModel();
        rows = std::move(found);
        endResetModel();
    }

    std::vector<int> rows;

private:
    const TDictionary& dictionary_;
};

TArticleSearchForm::TArticleSearchForm(const TDictionary& dictionary, TDialogs& dialogs,
                                       QWidget* owner)
    : QDialog(owner),
      dictionary_(dictionary),
      dialogs_(dialogs),
      model_(new TFoundTermsModel(dictionary, this)) {
    setWindowTitle(QStringLiteral("Найти в статьях"));
    resize(320, 400);

    edText = new QLineEdit(this);
    btnFind = new QPushButton(QStringLiteral("Найти"), this);
    lbFound = new QListView(this);
    lbFound->setModel(model_);
    lbFound->setUniformItemSizes(true);
    lbFound->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lbTotal = new QLabel(this);
    pbSearch = new QProgressBar(this);
    pbSearch->setRange(0, std::max(1, dictionary.Count()));
    btnCancel = new QPushButton(QStringLiteral("Отмена"), this);
    pbSearch->hide();
    btnCancel->hide();
    // Enter belongs to the box (search) and to the list (choose), never to a default button.
    for (QPushButton* button : {btnFind, btnCancel})
        button->setAutoDefault(false);

    auto* top = new QHBoxLayout;
    top->addWidget(edText, 1);
    top->addWidget(btnFind);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(lbTotal, 1);
    bottom->addWidget(pbSearch, 1);
    bottom->addWidget(btnCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(lbFound, 1);
    layout->addLayout(bottom);

    // Tab goes from the text straight to the terms found.
    setTabOrder(edText, lbFound);
    setTabOrder(lbFound, btnFind);

    connect(edText, &QLineEdit::returnPressed, this, [this] { search(); });
    connect(btnFind, &QPushButton::clicked, this, [this] { search(); });
    connect(btnCancel, &QPushButton::clicked, this, &TArticleSearchForm::cancel);
    connect(lbFound, &QAbstractItemView::activated, this,
            [this](const QModelIndex& index) { choose(index.row()); });
    edText->setFocus();
}

TArticleSearchForm::~TArticleSearchForm() = default;

void TArticleSearchForm::setText(const QString& text) {
    edText->setText(text);
    edText->selectAll();
}

QString TArticleSearchForm::text() const {
    return edText->text();
}

const std::vector<int>& TArticleSearchForm::found() const {
    return model_->rows;
}

bool TArticleSearchForm::search() {
    if (searching_)
        return false;
    char32_t bad = 0;
    const std::optional<std::string> text = toForm(edText->text(), dictionary_.textForm(), &bad);
    if (!text) {
        model_->show({});
        lbTotal->clear();
        dialogs_.information(this, unstorableCharacterText(bad));
        return true;
    }
    const QScopedValueRollback<bool> searching(searching_, true);
    cancelled_ = false;
    edText->setEnabled(false);
    btnFind->setEnabled(false);
    QElapsedTimer clock;
    clock.start();
    // A dictionary read in place has its articles read in the order their data lies; the terms
    // found are listed in order all the same (a cancelled search lists those found so far).
    TArticleSearch finder(dictionary_, *text);
    pbSearch->setRange(0, std::max(1, finder.count()));
    while (finder.done() < finder.count() && !cancelled_) {
        try {
            finder.step(kSearchStep);
        } catch (const TDictionaryChanged&) {
            // Another program changed the file: no term found in the new file may be offered
            // against the old positions. The window closes and the dictionary is read afresh.
            dictionaryChanged_ = true;
            pbSearch->hide();
            btnCancel->hide();
            edText->setEnabled(true);
            btnFind->setEnabled(true);
            model_->show({});
            QDialog::reject();
            return false;
        }
        // A search that has run as long as a progress window's update interval shows its
        // progress and can be cancelled; a shorter one shows none.
        if (clock.elapsed() < dialogs_.progressInterval())
            continue;
        // A long search shows how far it has come and answers Cancel and Escape meanwhile.
        if (pbSearch->isHidden()) {
            lbTotal->hide();
            pbSearch->show();
            btnCancel->show();
        }
        pbSearch->setValue(finder.done());
        QApplication::processEvents();
    }
    pbSearch->hide();
    btnCancel->hide();
    lbTotal->show();
    edText->setEnabled(true);
    btnFind->setEnabled(true);
    edText->setFocus();
    std::vector<int> found = finder.found();
    const int total = static_cast<int>(found.size());
    model_->show(std::move(found));
    if (total > 0)
        lbFound->setCurrentIndex(model_->index(0));
    const bool complete = !cancelled_;
    lbTotal->setText(complete ? (total ? QStringLiteral("Найдено терминов: %1").arg(total)
                                       : QStringLiteral("Ничего не найдено"))
                              : QStringLiteral("Поиск прерван; найдено терминов: %1").arg(total));
    return complete;
}

void TArticleSearchForm::choose(int row) {
    if (searching_ || row < 0 || row >= model_->rowCount())
        return;
    chosenRow_ = model_->rows[static_cast<size_t>(row)];
    accept();
}

void TArticleSearchForm::reject() {
    // Escape while a search runs stops the search; the window stays.
    if (searching_) {
        cancel();
        return;
    }
    QDialog::reject();
}

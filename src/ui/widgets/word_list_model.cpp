#include "ui/widgets/word_list_model.h"

#include <string>

#include "dictionary/dictionary.h"
#include "ui/text.h"

TWordListModel::TWordListModel(QObject* parent) : QAbstractListModel(parent) {}

void TWordListModel::setDictionary(TDictionary* dictionary) {
    beginResetModel();
    dictionary_ = dictionary;
    notice_.clear();
    rows_ = dictionary ? dictionary->Count() : 0;
    search_.reset(dictionary);
    endResetModel();
}

void TWordListModel::setNotice(const QString& text) {
    if (dictionary_ || text == notice_)
        return;
    if (!notice_.isEmpty() && !text.isEmpty()) {
        // Only the text moves on: no reset, so the view keeps its place.
        notice_ = text;
        emit dataChanged(index(0), index(0), {Qt::DisplayRole});
        return;
    }
    beginResetModel();
    notice_ = text;
    rows_ = notice_.isEmpty() ? 0 : 1;
    endResetModel();
}

int TWordListModel::findPrefix(std::string_view prefix) {
    return search_.find(prefix);
}

int TWordListModel::insertionPoint(std::string_view term) const {
    return dictionary_->lowerBound(term);
}

int TWordListModel::insertWith(std::string_view term, std::string_view article,
                               bool raiseWhenPresent) {
    if (!dictionary_)
        return -1;
    if (dictionary_->Find(term) >= 0) {
        if (raiseWhenPresent)
            return dictionary_->ChangeTerm(term, article);  // raises, changing nothing
        return -1;
    }
    const int row = insertionPoint(term);
    beginInsertRows(QModelIndex(), row, row);
    int position = -1;
    try {
        position = raiseWhenPresent ? dictionary_->ChangeTerm(term, article)
                                    : dictionary_->AddTerm(term, article);
    } catch (...) {
        // Nothing was inserted after all: close the announced insertion and show the
        // dictionary as it is.
        endInsertRows();
        refresh();
        throw;
    }
    if (position != row) {
        // The dictionary placed the term elsewhere than its own order predicts: the rows told
        // to the view would be wrong, so tell it everything again.
        rows_ = dictionary_->Count();
        endInsertRows();
        refresh();
        return position;
    }
    search_.termInserted(position);
    rows_ = dictionary_->Count();
    endInsertRows();
    return position;
}

int TWordListModel::insertTerm(std::string_view term, std::string_view article) {
    return insertWith(term, article, false);
}

int TWordListModel::changeTerm(std::string_view term, std::string_view article) {
    return insertWith(term, article, true);
}

void TWordListModel::removeTerm(int position) {
    if (!dictionary_)
        return;
    if (position < 0 || position >= dictionary_->Count()) {
        dictionary_->Delete(position);  // raises "List index out of bounds"
        return;
    }
    beginRemoveRows(QModelIndex(), position, position);
    try {
        dictionary_->Delete(position);
    } catch (...) {
        // Nothing was removed after all (the dictionary could not be read whole): close the
        // announced removal and show the dictionary as it is.
        endRemoveRows();
        refresh();
        throw;
    }
    search_.termRemoved(position);
    rows_ = dictionary_->Count();
    endRemoveRows();
}

void TWordListModel::refresh() {
    beginResetModel();
    rows_ = dictionary_ ? dictionary_->Count() : (notice_.isEmpty() ? 0 : 1);
    search_.reset(dictionary_);
    endResetModel();
}

int TWordListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : rows_;
}

QModelIndex TWordListModel::index(int row, int column, const QModelIndex& parent) const {
    if (parent.isValid() || column != 0 || row < 0 || row >= rows_)
        return {};
    return createIndex(row, column);
}

QVariant TWordListModel::data(const QModelIndex& index, int role) const {
    if (!notice_.isEmpty())
        return index.isValid() && index.row() == 0 && role == Qt::DisplayRole ? notice_
                                                                              : QVariant();
    if (!index.isValid() || !dictionary_ || index.column() != 0 || index.row() < 0 ||
        index.row() >= dictionary_->Count())
        return {};
    if (role != Qt::DisplayRole)
        return {};
    return fromForm(dictionary_->Term(index.row()), dictionary_->textForm());
}

Qt::ItemFlags TWordListModel::flags(const QModelIndex& index) const {
    if (!notice_.isEmpty())
        return Qt::ItemNeverHasChildren;
    return QAbstractListModel::flags(index);
}

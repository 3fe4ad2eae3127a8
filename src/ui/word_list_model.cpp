#include "ui/word_list_model.h"

#include <string>

#include "dictionary/dictionary.h"
#include "platform/codepage.h"

TWordListModel::TWordListModel(QObject* parent) : QAbstractListModel(parent) {}

void TWordListModel::setDictionary(TDictionary* dictionary) {
    beginResetModel();
    dictionary_ = dictionary;
    search_.reset(dictionary);
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
    const int position = raiseWhenPresent ? dictionary_->ChangeTerm(term, article)
                                          : dictionary_->AddTerm(term, article);
    if (position != row) {
        // The dictionary placed the term elsewhere than its own order predicts: the rows told
        // to the view would be wrong, so tell it everything again.
        endInsertRows();
        refresh();
        return position;
    }
    search_.termInserted(position);
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
    dictionary_->Delete(position);
    search_.termRemoved(position);
    endRemoveRows();
}

void TWordListModel::refresh() {
    beginResetModel();
    search_.reset(dictionary_);
    endResetModel();
}

int TWordListModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid() || !dictionary_)
        return 0;
    return dictionary_->Count();
}

QVariant TWordListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || !dictionary_ || index.column() != 0 || index.row() < 0 ||
        index.row() >= dictionary_->Count())
        return {};
    if (role != Qt::DisplayRole)
        return {};
    return QString::fromStdString(codepage::toUtf8(dictionary_->Term(index.row())));
}

#pragma once

#include <QAbstractListModel>

#include <string_view>

#include "dictionary/prefix_search.h"

class TDictionary;

// The word list's model: row i is term i of the current dictionary, read straight from it, so
// a tab change is one reset and no copy of the terms is ever made. Every change to the
// dictionary while it is shown goes through insertTerm / removeTerm / changeTerm / refresh, which
// report the rows to the view at the dictionary's own positions and keep the incremental
// search in step.
class TWordListModel : public QAbstractListModel {
    Q_OBJECT

public:
    explicit TWordListModel(QObject* parent = nullptr);

    // Shows dictionary (nullptr: an empty list) with one model reset; no notice.
    void setDictionary(TDictionary* dictionary);
    // With no dictionary shown: one line of text that is no term (it cannot be selected, and
    // nothing opens from it), such as how far the dictionary's preparing has come; an empty
    // text takes it away.
    void setNotice(const QString& text);
    TDictionary* dictionary() const { return dictionary_; }

    // The first row whose term begins with prefix (in the dictionary's text form, case folded),
    // or -1;
    // -1 also for an empty prefix.
    int findPrefix(std::string_view prefix);

    // AddTerm on the shown dictionary with the row inserted at the term's place. Returns the
    // position, or -1 (nothing changes) when an equal term is present.
    int insertTerm(std::string_view term, std::string_view article);
    // ChangeTerm on the shown dictionary; raises as ChangeTerm, then nothing changes.
    int changeTerm(std::string_view term, std::string_view article);
    // Delete on the shown dictionary with the row removed. Raises as Delete.
    void removeTerm(int position);
    // After any other change of the shown dictionary (Clear, a load, an import): one reset.
    void refresh();

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    // The view asks for the index of every row while it lays out a million rows: answered from
    // the kept row count without further calls.
    QModelIndex index(int row, int column = 0,
                      const QModelIndex& parent = QModelIndex()) const override;
    // DisplayRole: the term as text (or the notice); any other role or a bad index: an
    // invalid value.
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    // The notice's line can be neither selected nor chosen.
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    // The position at which term would be inserted (the first term that sorts after it).
    int insertionPoint(std::string_view term) const;
    int insertWith(std::string_view term, std::string_view article, bool raiseWhenPresent);

    TDictionary* dictionary_ = nullptr;
    int rows_ = 0;  // the dictionary's Count as last reported to the view (1 for a notice)
    QString notice_;
    TPrefixSearch search_;
};

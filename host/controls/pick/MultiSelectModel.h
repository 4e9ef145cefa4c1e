#pragma once

#include "suite_export.h"

#include <QAbstractTableModel>
#include <QSet>
#include <QStringList>
#include <QVector>

class TDataSet;
class TField;

// The rows of the multi-selection dialog: a mark column, then the shown fields of the
// data set. Holds the marks, not the rows (those stay in the data set), and filters the
// rows shown by a text found in any shown column, ignoring case and accents; a text of
// digits (punctuation allowed) also finds a code or a registration number by its digits,
// as typed with or without the mask's dots, slash and dash.
class SUITE_TEST_EXPORT MultiSelectModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    MultiSelectModel(TDataSet *dataSet, const QString &keyField, const QSet<QString> &preselected, QObject *parent);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    QVector<TField *> shownFields() const { return m_fields; }
    bool isMarked(int row) const;
    // Marks or unmarks shown rows.
    void setMarked(const QVector<int> &rows, bool marked);
    // Marks the rows when any of them is unmarked, else unmarks them all.
    void toggle(const QVector<int> &rows);
    void setAllMarked(bool marked); // the rows shown
    void clearMarks();              // every row, shown or not
    int markedCount() const { return m_markedCount; }
    // Marked rows that the filter hides.
    int hiddenMarkedCount() const;
    // Keys of the marked rows in data set order (filter or not).
    QStringList markedKeys() const;

    void setFilter(const QString &text);
    // Folds the texts of up to rows more rows for the search (the dialog does it while the
    // person looks at the list, so the first key does not wait for 50,000 rows); false
    // once every row is ready. The search folds what is left itself.
    bool prepareSearch(int rows);

signals:
    void marksChanged();

private:
    QString cellText(int dataRow, int fieldIndex) const;
    void foldRow(int row);

    TDataSet *m_dataSet;
    QVector<TField *> m_fields;
    QString m_markLabel;
    QStringList m_keys;     // per data set row
    QVector<char> m_marks;  // per data set row
    QVector<int> m_shown;   // data set rows shown, in order
    QStringList m_haystack; // folded texts of each row, built at the first search
    QStringList m_digits;   // the digits of each column of each row, likewise
    int m_markedCount = 0;
};

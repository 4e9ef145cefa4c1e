#pragma once

#include "suite_export.h"

#include <QObject>
#include <QString>
#include <QVariant>
#include <QVector>
#include <functional>
#include <memory>
#include <vector>

class TDataSet;

// Rows a data set keeps in a form of their own instead of one QVariant per value: a client
// data set leaves a packet's values in the packet's bytes and makes one only when asked.
class SUITE_EXPORT TDataSetStore
{
public:
    virtual ~TDataSetStore();
    virtual int rowCount() const = 0;
    // Null for a null value, else a QString.
    virtual QVariant value(int row, int column) const = 0;
    // Orders the rows as TDataSet::IndexFieldNames says, by the values of these columns.
    virtual void sortBy(const QVector<int> &columns) = 0;
};

// One column of a data set. Persistent fields are declared before the data set
// opens and carry the labels, widths and text callbacks that lists show.
class SUITE_EXPORT TField
{
public:
    using GetTextEvent = std::function<void(TField &sender, QString &text, bool displayText)>;

    TField(TDataSet *dataSet, const QString &name, int size = 0);

    QString FieldName;
    int Size = 0;
    QString DisplayLabel; // empty: the field name
    int DisplayWidth = 0; // in characters; 0: from Size
    bool Visible = true;
    QString EditMask; // Delphi-style mask used to show the raw value
    GetTextEvent OnGetText;
    // Searching this field by what is typed: SearchField names a column of the same data
    // set holding its text folded (small letters, no accents; TextFold::fold), which the
    // schema keeps and indexes; lists search and order by it. SearchTable, on SQLite, names
    // the full-text table (trigram) over that column and the list's key column, its rows
    // bulk-loaded in the folded order. On the servers, SearchWords names the table of the
    // words of the folded texts (PALAVRA, the folded text, the list's key; indexed in that
    // order) and SearchVocabulary the table of those words once each (PALAVRA).
    QString SearchField;
    QString SearchTable;
    QString SearchWords;
    QString SearchVocabulary;

    TDataSet *DataSet() const { return m_dataSet; }
    QString label() const { return DisplayLabel.isEmpty() ? FieldName : DisplayLabel; }

    // Values of the current row. An empty or closed data set gives null / empty text.
    QVariant Value() const;
    QString AsString() const;
    bool IsNull() const;

    // The text shown in lists (display) or in an editor (not display): OnGetText when
    // set, else the value under EditMask.
    QString DisplayText() const { return textFor(Value(), true); }
    QString Text() const { return textFor(Value(), false); }
    // The same for any value of this field (lists format rows they are not positioned on).
    QString textFor(const QVariant &value, bool displayText) const;

    int columnIndex() const { return m_column; }
    void setColumnIndex(int column) { m_column = column; }

private:
    TDataSet *m_dataSet;
    int m_column = -1;
};

// A data set: named fields over rows, with a current row. Rows are cached as they
// are fetched; subclasses fill the cache (a query from its cursor, a client data set
// from a data packet).
class SUITE_EXPORT TDataSet : public QObject
{
    Q_OBJECT
public:
    explicit TDataSet(QObject *parent = nullptr);
    ~TDataSet() override;

    // Persistent fields: declared before the data set is opened.
    TField &AddField(const QString &name, int size = 0, const QString &displayLabel = QString(), int displayWidth = 0,
                     bool visible = true);

    int FieldCount() const { return int(m_fields.size()); }
    TField &Fields(int index) const { return *m_fields.at(size_t(index)); }
    TField *FindField(const QString &name) const;
    // Raises ESuiteError when there is no such field.
    TField &FieldByName(const QString &name) const;

    // Opens (runs) the data set; a data set filled from outside does nothing here.
    virtual void Open() { }
    virtual void Close();

    bool Active() const { return m_active; }
    bool IsEmpty();
    void First();
    void Next();
    bool Eof();
    int RecNo() const { return m_current; }
    // Positions on a row (lists position the data set before they ask a field for the
    // text of a row, so text callbacks read the row being shown).
    void setRecNo(int row)
    {
        fetchTo(row);
        m_current = row;
    }
    // Fetches every row: use only on data sets known to be small.
    int RecordCount();

    // Positions on the first row whose field has the value; false when none has.
    virtual bool Locate(const QString &fieldName, const QVariant &value);

    // Row access for lists: true when row exists (fetching up to it).
    bool fetchTo(int row);
    // Rows fetched so far and whether the cursor is exhausted.
    int fetchedCount() const { return m_store ? m_store->rowCount() : int(m_rows.size()); }
    bool fetchedAll() const { return m_complete; }
    QVariant rowValue(int row, int column) const;
    QVariant currentValue(int column) const;
    // Column names of the rows, in row order.
    QStringList columnNames() const { return m_columns; }

    // For data sets filled whole (a client data set): the fields, separated by ';', that
    // the rows are kept in order of once filled. Texts are compared as people read them:
    // case and accents second ("Água" among the A's).
    QString IndexFieldNames;

signals:
    void opened();
    void closed();

protected:
    // Called by subclasses when data arrives.
    void beginData(const QStringList &columns);
    void appendRow(QVector<QVariant> row);
    // All the rows at once, kept by the store (between beginData and endData, instead of appendRow).
    void setStore(std::unique_ptr<TDataSetStore> store);
    void endData();
    void setActive(bool active);
    void resetRows();
    void setCurrent(int row) { m_current = row; }
    // Fetches at least one more row into the cache; false when the cursor is exhausted.
    virtual bool fetchMore() { return false; }

private:
    std::vector<std::unique_ptr<TField>> m_fields;
    QStringList m_columns;
    std::vector<QVector<QVariant>> m_rows;
    std::unique_ptr<TDataSetStore> m_store; // when set, it holds the rows and m_rows is empty
    bool m_complete = true;
    bool m_dynamicFields = false;
    bool m_active = false;
    int m_current = 0;
};

// The link from a control or dialog to a data set.
class SUITE_EXPORT TDataSource : public QObject
{
    Q_OBJECT
public:
    explicit TDataSource(QObject *parent = nullptr, TDataSet *dataSet = nullptr) : QObject(parent), m_dataSet(dataSet)
    { }
    TDataSet *DataSet() const { return m_dataSet; }
    void setDataSet(TDataSet *dataSet) { m_dataSet = dataSet; }

private:
    TDataSet *m_dataSet;
};

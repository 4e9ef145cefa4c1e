#include "controls/lookup/LookupDialog.h"
#include "data/TADOIBQuery.h"
#include "data/TDataSet.h"
#include "controls/lookup/LookupMemoryModel.h"
#include "controls/lookup/LookupSqlModel.h"
#include "controls/lookup/LookupWindow.h"

namespace {

QVector<LookupModel::Column> shownColumns(TDataSet *dataSet)
{
    QVector<LookupModel::Column> columns;
    for (int i = 0; i < dataSet->FieldCount(); ++i) {
        TField &f = dataSet->Fields(i);
        if (!f.Visible)
            continue;
        LookupModel::Column c;
        c.field = &f;
        c.name = f.FieldName;
        c.label = f.label();
        const int chars = f.DisplayWidth > 0 ? f.DisplayWidth : f.Size;
        c.chars = chars > 0 ? chars : 15;
        if (!f.EditMask.isEmpty())
            c.chars = qMax(c.chars, int(f.EditMask.indexOf(QLatin1Char(';'))));
        columns.append(c);
    }
    return columns;
}

// The name column: the first shown field named NM..., else the first shown one that
// is not the key.
QString nameFieldOf(const QVector<LookupModel::Column> &columns, const QString &keyField)
{
    for (const auto &c : columns)
        if (c.name.startsWith(QLatin1String("NM"), Qt::CaseInsensitive)
            && c.name.compare(keyField, Qt::CaseInsensitive) != 0)
            return c.name;
    for (const auto &c : columns)
        if (c.name.compare(keyField, Qt::CaseInsensitive) != 0)
            return c.name;
    return QString();
}

// A list read whole is searched in memory: anywhere in a name, without regard to case or
// accents, in the order people read. A query whose name has a folded twin in the schema
// is searched by the database (any size); one without is read whole when small.
constexpr int kWholeRows = 5000;

bool readWhole(TADOIBQuery *query, const QString &nameField)
{
    const TField *name = nameField.isEmpty() ? nullptr : query->FindField(nameField);
    if (name && !name->SearchField.isEmpty())
        return false;
    if (!query->Active())
        query->Open();
    query->fetchTo(kWholeRows);
    return query->fetchedAll();
}

} // namespace

namespace LookupDialog {

bool run(QWidget *parent, TDataSource *source, const QString &title, const QString &keyField, QString &key)
{
    if (!source || !source->DataSet())
        return false;
    TDataSet *dataSet = source->DataSet();
    QVector<LookupModel::Column> columns = shownColumns(dataSet);
    if (columns.isEmpty())
        return false;
    const QString keyName = keyField.isEmpty() ? columns.first().name : dataSet->FieldByName(keyField).FieldName;
    const QString nameField = nameFieldOf(columns, keyName);
    const QVariant pesqChave = source->property("pesqChave");
    const bool byKey = !pesqChave.isValid() || pesqChave.toBool();

    LookupModel *model = nullptr;
    auto *query = qobject_cast<TADOIBQuery *>(dataSet);
    if (query && !readWhole(query, nameField)) {
        model = new LookupSqlModel(query, columns, keyName, nullptr);
    } else {
        if (!dataSet->Active())
            dataSet->Open();
        model = new LookupMemoryModel(dataSet, columns, keyName, nullptr);
    }
    LookupWindow window(parent, title, model, nameField, byKey);
    window.start(key);
    if (window.exec() != QDialog::Accepted)
        return false;
    const QVariant chosen = window.chosenKey();
    key = chosen.toString();
    dataSet->Locate(keyName, chosen);
    return true;
}

} // namespace LookupDialog

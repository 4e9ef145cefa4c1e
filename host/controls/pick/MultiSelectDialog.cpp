#include "controls/pick/MultiSelectDialog.h"
#include "data/TDataSet.h"
#include "controls/DataSetRows.h"
#include "controls/pick/MultiSelectModel.h"
#include "controls/pick/MultiSelectWindow.h"

#include <QSet>

namespace MultiSelectDialog {

QStringList run(QWidget *parent, TDataSource *source, const QString &keyField, const QString &title,
                const QStringList &preselected)
{
    if (!source || !source->DataSet())
        return {};
    TDataSet *dataSet = source->DataSet();
    if (!dataSet->Active())
        dataSet->Open();
    DataSetRows::Keeper keep(dataSet);
    const QString key = keyField.isEmpty() && dataSet->FieldCount() > 0 ? dataSet->Fields(0).FieldName : keyField;
    auto *model = new MultiSelectModel(dataSet, key, QSet<QString>(preselected.begin(), preselected.end()), nullptr);
    MultiSelectWindow window(parent, title, model);
    if (window.exec() != QDialog::Accepted)
        return {};
    return model->markedKeys();
}

} // namespace MultiSelectDialog

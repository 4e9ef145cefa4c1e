#include "controls/pick/Pesqlista.h"
#include "app/Interaction.h"
#include "text/ListString.h"
#include "data/TDataSet.h"

#include <QApplication>

namespace Pesqlista {

bool PesquisaLista(TDataSource *dataSource, const QString &keyField, const QString &title, bool, QString &list)
{
    const QStringList preselected = (list == QLatin1String("T")) ? QStringList() : ListString::decode(list);
    const QStringList keys =
        Interaction::instance()->pickList(QApplication::activeWindow(), dataSource, keyField, title, preselected);
    if (keys.isEmpty())
        return false;
    list = ListString::encode(keys);
    return true;
}

} // namespace Pesqlista

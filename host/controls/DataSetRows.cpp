#include "controls/DataSetRows.h"
#include "data/TDataSet.h"

namespace DataSetRows {

void moveTo(TDataSet *dataSet, int row)
{
    if (dataSet && dataSet->RecNo() != row)
        dataSet->setRecNo(row);
}

Keeper::Keeper(TDataSet *dataSet) : m_dataSet(dataSet), m_row(dataSet ? dataSet->RecNo() : 0) { }

Keeper::~Keeper()
{
    moveTo(m_dataSet, m_row);
}

} // namespace DataSetRows

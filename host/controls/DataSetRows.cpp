#include "DataSetRows.h"
#include "../TDataSet.h"

namespace {
// TDataSet keeps its current-row setter for subclasses; this reaches it without
// widening the data set's public interface.
struct Access : TDataSet
{
    static void move(TDataSet *dataSet, int row)
    {
        void (TDataSet::*set)(int) = &Access::setCurrent;
        (dataSet->*set)(row);
    }
};
} // namespace

namespace DataSetRows {

void moveTo(TDataSet *dataSet, int row)
{
    if (dataSet && dataSet->RecNo() != row)
        Access::move(dataSet, row);
}

Keeper::Keeper(TDataSet *dataSet) : m_dataSet(dataSet), m_row(dataSet ? dataSet->RecNo() : 0) {}

Keeper::~Keeper()
{
    moveTo(m_dataSet, m_row);
}

} // namespace DataSetRows

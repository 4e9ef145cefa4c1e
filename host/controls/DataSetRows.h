#pragma once

#include "suite_export.h"

class TDataSet;

// Lists format rows they are not positioned on; a field's text callback reads the
// data set's current row, so the list moves the current row there while it formats.
namespace DataSetRows {
SUITE_TEST_EXPORT void moveTo(TDataSet *dataSet, int row);
// Restores the current row when it goes out of scope.
class SUITE_TEST_EXPORT Keeper
{
public:
    explicit Keeper(TDataSet *dataSet);
    ~Keeper();
    Keeper(const Keeper &) = delete;
    Keeper &operator=(const Keeper &) = delete;

private:
    TDataSet *m_dataSet;
    int m_row;
};
} // namespace DataSetRows

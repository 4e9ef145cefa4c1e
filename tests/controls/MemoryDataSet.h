#pragma once

#include "TDataSet.h"

// A data set filled by the test, standing for an in-memory client data set.
class MemoryDataSet : public TDataSet
{
public:
    explicit MemoryDataSet(QObject *parent) : TDataSet(parent) {}

    void load(const QStringList &columns, const QList<QVariantList> &rows)
    {
        resetRows();
        beginData(columns);
        for (const QVariantList &r : rows)
            appendRow(QVector<QVariant>(r.begin(), r.end()));
        endData();
        setActive(true);
    }
    void Close() override { TDataSet::Close(); }
};

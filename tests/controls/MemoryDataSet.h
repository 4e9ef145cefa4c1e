#pragma once

#include "data/TDataSet.h"

// A data set filled by the test, standing for an in-memory client data set. Rows
// loaded inactive become visible when the data set is opened.
class MemoryDataSet : public TDataSet
{
public:
    explicit MemoryDataSet(QObject *parent) : TDataSet(parent) { }

    int openCalls = 0;

    void load(const QStringList &columns, const QList<QVariantList> &rows, bool active = true)
    {
        resetRows();
        beginData(columns);
        for (const QVariantList &r : rows)
            appendRow(QVector<QVariant>(r.begin(), r.end()));
        endData();
        setActive(active);
    }
    void Open() override
    {
        ++openCalls;
        setActive(true);
    }
};

#pragma once

#include "DemoDb.h"
#include "DemoNames.h"

#include <QSqlDatabase>
#include <QStringList>
#include <QVariant>
#include <QVector>

class BulkInserter;
class DemoRandom;

// Writes the demo rows of every table in one transaction. The branch layout always
// holds the cases the screens must handle (head office and purchasing centre 0001,
// branches under 0001, a branch that is its own centre with branches under it, an
// independent branch, a rescinded one, one whose region has no REGIAO row, a region
// without branches); the rest is drawn from a seeded generator.
class DemoGenerator
{
public:
    DemoGenerator(QSqlDatabase &db, SqlDialect dialect, const DemoOptions &options, const DemoProgress &progress);
    void run();

private:
    void writeRegions();
    void writeBranches();
    void writeProducts();
    void writeOperators();
    void writeSuppliers();
    void writeQuotes();
    void writeProductBranches();
    void writePictures();
    void writeStockMovements();

    void report(const QString &table, qint64 done, qint64 total) const;
    void progressEvery(const BulkInserter &inserter, const QString &table, qint64 total, qint64 &nextReport) const;
    QVariant dateValue(int daysFromProcessing) const;
    QString regionCode(int number) const;
    QString personName(DemoRandom &random) const;

    QSqlDatabase m_db;
    SqlDialect m_dialect;
    DemoOptions m_options;
    DemoProgress m_progress;
    QString m_label;
    QStringList m_firstNames;
    QStringList m_surnames;

    QVector<QVariant> m_dates; // bound values of the days around the processing date
    int m_firstDateOffset = 0;
    QStringList m_branchCodes;
    QStringList m_activeBranches; // not rescinded
    QVector<int> m_activeBranchIndex;
    QStringList m_centres; // purchasing centres that quote most
    QStringList m_quotedSuppliers;
    QStringList m_buyerCodes;
    QStringList m_operatorCodes;
    QVector<int> m_basePriceCents; // per product
};

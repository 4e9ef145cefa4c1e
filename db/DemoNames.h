#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// One section of the product tree (department DD, section SSS of the code DDSSSIIII),
// with the words its product names are made of and the price range of its products.
struct DemoSection
{
    int department = 0;
    int section = 0;
    QStringList bases; // "Arroz Tipo 1", "Arroz Integral" ...
    QStringList sizes; // "1kg", "5kg" ...
    int minCents = 100;
    int maxCents = 1000;
};

// The Brazilian words the demo data is made of. Names are combined from these lists, so
// that a million products or fifty thousand suppliers still read plausibly.
namespace DemoNames {
QList<DemoSection> sections();
QStringList brands();
QStringList regions();
QStringList branchKinds();
QStringList places();
QStringList firstNames();
QStringList surnames();
QStringList supplierPrefixes();
QStringList supplierCores();
QStringList supplierRegions();
QStringList supplierActivities();
QStringList farmKinds();
QStringList otherKinds();
} // namespace DemoNames

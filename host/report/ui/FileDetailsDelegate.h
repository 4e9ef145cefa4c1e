#pragma once

#include "suite_export.h"

#include <QStyledItemDelegate>

class QFileDialog;
class QFileSystemModel;

// The details of Qt's widget file dialog as the clerk reads them: Qt's file model writes
// sizes and dates in the operating system's locale, which on a machine set up without one
// is "161.70 KiB" and "7 Dec", and names a folder's type in English; here "161,70 KiB",
// 07/12/2026 14:05 and "Pasta".
class SUITE_TEST_EXPORT FileDetailsDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    enum Column { Size = 1, Type = 2, Modified = 3 };

    FileDetailsDelegate(const QFileSystemModel *model, QObject *parent);

    // What the details show in a cell of the size, type or date columns.
    QString shown(const QModelIndex &index) const;

    // Gives a dialog's details these texts, and columns wide enough to read them.
    static void fit(QFileDialog &dialog);

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override;

private:
    const QFileSystemModel *m_model;
};

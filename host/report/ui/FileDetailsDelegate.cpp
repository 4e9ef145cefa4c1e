#include "report/ui/FileDetailsDelegate.h"

#include <QFileDialog>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QLocale>
#include <QSplitter>
#include <QTreeView>

FileDetailsDelegate::FileDetailsDelegate(const QFileSystemModel *model, QObject *parent)
    : QStyledItemDelegate(parent), m_model(model)
{
}

QString FileDetailsDelegate::shown(const QModelIndex &index) const
{
    const QLocale brazil(QLocale::Portuguese, QLocale::Brazil);
    if (index.column() == Size)
        return m_model->isDir(index) ? QString() : brazil.formattedDataSize(m_model->size(index));
    if (index.column() == Modified) {
        const QDateTime when = m_model->lastModified(index);
        return when.isValid() ? brazil.toString(when, QStringLiteral("dd/MM/yyyy HH:mm")) : QString();
    }
    if (index.column() == Type) {
        const QString suffix = m_model->fileInfo(index).suffix().toUpper();
        return m_model->isDir(index) ? QStringLiteral("Pasta")
               : suffix.isEmpty()    ? QStringLiteral("Arquivo")
                                     : QStringLiteral("Arquivo %1").arg(suffix);
    }
    return index.data().toString();
}

void FileDetailsDelegate::initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const
{
    QStyledItemDelegate::initStyleOption(option, index);
    if (index.column() == Size || index.column() == Type || index.column() == Modified)
        option->text = shown(index);
}

void FileDetailsDelegate::fit(QFileDialog &dialog)
{
    auto *model = dialog.findChild<QFileSystemModel *>();
    auto *details = dialog.findChild<QTreeView *>(QStringLiteral("treeView"));
    if (!model || !details)
        return;
    auto *delegate = new FileDetailsDelegate(model, details);
    details->setItemDelegateForColumn(Size, delegate);
    details->setItemDelegateForColumn(Type, delegate);
    details->setItemDelegateForColumn(Modified, delegate);
    QHeaderView *header = details->header();
    header->setStretchLastSection(false);
    header->setSectionResizeMode(0, QHeaderView::Stretch);
    for (int c = 1; c < header->count(); ++c)
        header->setSectionResizeMode(c, QHeaderView::ResizeToContents);
    // The places on the left ("Computador", the home folder) readable in full.
    if (auto *splitter = dialog.findChild<QSplitter *>(QStringLiteral("splitter")))
        splitter->setSizes({170, 690});
}

#include "report/designer/DesignerTree.h"

#include <QHeaderView>

namespace {

QString elementText(const ReportElement &e, int index)
{
    static const char *const kinds[] = {"Texto", "Campo", "Linha", "Retângulo", "Imagem"};
    QString what = e.name;
    if (what.isEmpty())
        what = e.kind == ReportElement::Kind::Field ? e.field
               : e.kind == ReportElement::Kind::Text ? (e.expression.isEmpty() ? e.text : QStringLiteral("=") + e.expression)
                                                     : QString::number(index + 1);
    return QStringLiteral("%1: %2").arg(QString::fromUtf8(kinds[int(e.kind)]), what.left(40));
}

} // namespace

DesignerTree::DesignerTree(QWidget *parent) : QTreeWidget(parent)
{
    setObjectName(QStringLiteral("designerTree"));
    setHeaderHidden(true);
    // A long name scrolls sideways rather than ending in "…".
    header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    header()->setStretchLastSection(false);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    connect(this, &QTreeWidget::itemSelectionChanged, this, &DesignerTree::emitPicked);
}

void DesignerTree::rebuild(const ReportDefinition &definition)
{
    m_updating = true;
    clear();
    for (const DesignerBand &band : DesignerBand::stack(definition)) {
        auto *top = new QTreeWidgetItem(this, {band.title()});
        top->setData(0, KindRole, BandItem);
        top->setData(0, BandKindRole, int(band.kind));
        top->setData(0, LevelRole, band.level);
        if (const ReportBand *b = band.in(definition)) {
            for (int i = 0; i < b->elements.size(); ++i) {
                auto *child = new QTreeWidgetItem(top, {elementText(b->elements.at(i), i)});
                child->setData(0, KindRole, ElementItem);
                child->setData(0, BandKindRole, int(band.kind));
                child->setData(0, LevelRole, band.level);
                child->setData(0, IndexRole, i);
            }
        } else if (band.kind == DesignerBand::Detail) {
            for (int i = 0; i < definition.columns.size(); ++i) {
                const ReportColumn &c = definition.columns.at(i);
                auto *child = new QTreeWidgetItem(
                    top, {QStringLiteral("Coluna: %1 (%2)%3")
                              .arg(c.title, c.field, c.dataOnly ? QStringLiteral(" — só em planilha") : QString())});
                child->setData(0, KindRole, ColumnItem);
                child->setData(0, IndexRole, i);
            }
        }
    }
    expandAll();
    m_updating = false;
}

void DesignerTree::select(const QList<ElementRef> &elements, const QList<int> &columns,
                          const QList<DesignerBand> &bands)
{
    m_updating = true;
    clearSelection();
    for (QTreeWidgetItemIterator it(this); *it; ++it) {
        QTreeWidgetItem *item = *it;
        const DesignerBand band{DesignerBand::Kind(item->data(0, BandKindRole).toInt()), item->data(0, LevelRole).toInt()};
        const int index = item->data(0, IndexRole).toInt();
        switch (item->data(0, KindRole).toInt()) {
        case BandItem: item->setSelected(bands.contains(band)); break;
        case ElementItem: item->setSelected(elements.contains(ElementRef{band, index})); break;
        case ColumnItem: item->setSelected(columns.contains(index)); break;
        }
        if (item->isSelected())
            scrollToItem(item);
    }
    m_updating = false;
}

void DesignerTree::emitPicked()
{
    if (m_updating)
        return;
    QList<ElementRef> elements;
    QList<int> columns;
    QList<DesignerBand> bands;
    for (QTreeWidgetItem *item : selectedItems()) {
        const DesignerBand band{DesignerBand::Kind(item->data(0, BandKindRole).toInt()), item->data(0, LevelRole).toInt()};
        const int index = item->data(0, IndexRole).toInt();
        switch (item->data(0, KindRole).toInt()) {
        case BandItem: bands << band; break;
        case ElementItem: elements << ElementRef{band, index}; break;
        case ColumnItem: columns << index; break;
        }
    }
    emit picked(elements, columns, bands);
}

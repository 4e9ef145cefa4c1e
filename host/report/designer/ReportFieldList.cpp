#include "report/designer/ReportFieldList.h"
#include "errors/EAbort.h"
#include "report/ReportDefinition.h"

#include <QApplication>
#include <QHeaderView>
#include <QMimeData>

namespace {
constexpr int NameRole = Qt::UserRole + 1;

QString paramTypeName(TFieldType type)
{
    switch (type) {
    case TFieldType::ftString: return QStringLiteral("texto");
    case TFieldType::ftDate: return QStringLiteral("data");
    case TFieldType::ftDateTime: return QStringLiteral("data e hora");
    case TFieldType::ftInteger:
    case TFieldType::ftFloat: return QStringLiteral("número");
    case TFieldType::ftBoolean: return QStringLiteral("lógico");
    case TFieldType::ftUnknown: break;
    }
    return QStringLiteral("valor");
}

QTreeWidgetItem *leaf(QTreeWidgetItem *parent, const QString &name, const QString &type, const QString &tip)
{
    auto *item = new QTreeWidgetItem(parent, {name, type});
    item->setData(0, NameRole, name);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled);
    item->setToolTip(0, tip);
    return item;
}
} // namespace

ReportFieldList::ReportFieldList(QWidget *parent) : QTreeWidget(parent)
{
    setColumnCount(2);
    setHeaderLabels({QStringLiteral("Nome"), QStringLiteral("Tipo")});
    // A name is read whole, never "CDARVPR…": its column takes what the names need, and the
    // list scrolls sideways when the panel is narrower.
    header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    header()->setStretchLastSection(true);
    setRootIsDecorated(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setDragEnabled(true);
    setDragDropMode(QAbstractItemView::DragOnly);
    m_fieldRoot = new QTreeWidgetItem(this, {QStringLiteral("Campos da consulta")});
    m_paramRoot = new QTreeWidgetItem(this, {QStringLiteral("Parâmetros")});
    for (QTreeWidgetItem *root : {m_fieldRoot, m_paramRoot}) {
        root->setFlags(Qt::ItemIsEnabled);
        root->setExpanded(true);
        QFont f = root->font(0);
        f.setBold(true);
        root->setFont(0, f);
    }
    connect(this, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem *item) {
        const QString name = item->data(0, NameRole).toString();
        if (!name.isEmpty())
            emit nameActivated(name);
    });
}

void ReportFieldList::setFields(const QList<ReportQueryField> &fields)
{
    m_fields = fields;
    qDeleteAll(m_fieldRoot->takeChildren());
    for (const ReportQueryField &f : fields)
        leaf(m_fieldRoot, f.name, f.typeName(),
             QStringLiteral("Arraste para a página: um campo (na faixa de detalhe, uma coluna)."));
    m_fieldRoot->setExpanded(true);
}

void ReportFieldList::setParameters(const TParams &params)
{
    m_params.clear();
    qDeleteAll(m_paramRoot->takeChildren());
    for (int i = 0; i < params.Count(); ++i) {
        const TParam &p = params[i];
        m_params << p.Name();
        leaf(m_paramRoot, p.Name(), paramTypeName(p.DataType()),
             QStringLiteral("Parâmetro do relatório: numa expressão, escreva :%1").arg(p.Name()));
    }
    m_paramRoot->setExpanded(true);
}

void ReportFieldList::setProblem(const QString &message)
{
    m_fields.clear();
    qDeleteAll(m_fieldRoot->takeChildren());
    auto *item = new QTreeWidgetItem(m_fieldRoot, {message});
    item->setFlags(Qt::ItemIsEnabled);
    item->setForeground(0, QColor(0xC0, 0, 0));
    item->setToolTip(0, message);
    item->setFirstColumnSpanned(true);
    // The whole message is in its tip and in the status bar; the names' column keeps to the names.
    item->setSizeHint(0, QSize(1, fontMetrics().height() + 4));
    m_fieldRoot->setExpanded(true);
}

bool ReportFieldList::load(const ReportDefinition &definition, const TParams &params)
{
    setParameters(params);
    try {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        const ReportQuerySample sample = ReportQueryProbe::sample(definition, params, 1);
        QApplication::restoreOverrideCursor();
        setFields(sample.fields());
        return true;
    } catch (const ESuiteError &e) { // a database's fault too
        QApplication::restoreOverrideCursor();
        setProblem(QStringLiteral("Os campos não puderam ser lidos: %1").arg(e.message()));
    }
    return false;
}

QString ReportFieldList::nameIn(const QMimeData *data)
{
    if (!data || !data->hasFormat(QLatin1String(mimeType)))
        return QString();
    return QString::fromUtf8(data->data(QLatin1String(mimeType)));
}

QStringList ReportFieldList::mimeTypes() const
{
    return {QLatin1String(mimeType)};
}

QMimeData *ReportFieldList::mimeData(const QList<QTreeWidgetItem *> &items) const
{
    if (items.isEmpty())
        return nullptr;
    const QString name = items.first()->data(0, NameRole).toString();
    if (name.isEmpty())
        return nullptr;
    auto *data = new QMimeData;
    data->setData(QLatin1String(mimeType), name.toUtf8());
    data->setText(name);
    return data;
}

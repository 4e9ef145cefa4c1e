#include "report/designer/ReportQueryEditor.h"
#include "errors/EAbort.h"
#include "report/ReportFormat.h"
#include "report/designer/SqlHighlighter.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {
// The texts of a definition in the order of the tabs.
QList<QString ReportDefinition::*> sqlMembers()
{
    return {&ReportDefinition::sql,   &ReportDefinition::sqlSqlite, &ReportDefinition::sqlPg,
            &ReportDefinition::sqlIb, &ReportDefinition::sqlOracle, &ReportDefinition::sqlMssql};
}

QString shown(const QVariant &value)
{
    if (value.isNull())
        return QString();
    switch (value.typeId()) {
    case QMetaType::QDate: return value.toDate().toString(QStringLiteral("dd/MM/yyyy"));
    case QMetaType::QDateTime: return value.toDateTime().toString(QStringLiteral("dd/MM/yyyy HH:mm:ss"));
    case QMetaType::Double:
    case QMetaType::Float: return ReportFormat::number(value.toDouble(), 4);
    default: return value.toString();
    }
}
} // namespace

ReportQueryEditor::ReportQueryEditor(QWidget *parent) : QWidget(parent)
{
    sampler = [](const ReportDefinition &d, const TParams &p, int rows) {
        return ReportQueryProbe::sample(d, p, rows);
    };
    auto *root = new QVBoxLayout(this);
    root->setContentsMargins(0, 0, 0, 0);
    auto *splitter = new QSplitter(Qt::Vertical, this);
    m_tabs = new QTabWidget(splitter);
    m_tabs->setObjectName(QStringLiteral("tabConsulta"));
    const QStringList titles = {
        QStringLiteral("Consulta (padrão)"),  QStringLiteral("SQLite"), QStringLiteral("PostgreSQL"),
        QStringLiteral("InterBase/Firebird"), QStringLiteral("Oracle"), QStringLiteral("SQL Server")};
    for (const QString &title : titles) {
        auto *edit = new QPlainTextEdit(m_tabs);
        edit->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
        edit->setLineWrapMode(QPlainTextEdit::NoWrap);
        edit->setTabChangesFocus(true);
        new SqlHighlighter(edit->document());
        connect(edit, &QPlainTextEdit::textChanged, this, &ReportQueryEditor::changed);
        m_tabs->addTab(edit, title);
        m_texts << edit;
    }
    m_texts.at(0)->setPlaceholderText(QStringLiteral("SELECT … FROM … WHERE CAMPO = :P_PARAMETRO"));
    for (int i = 1; i < m_texts.size(); ++i)
        m_texts.at(i)->setPlaceholderText(
            QStringLiteral("Vazio: neste banco vale a consulta padrão. Escreva aqui só o que muda neste banco."));

    auto *bottom = new QWidget(splitter);
    auto *bottomLayout = new QVBoxLayout(bottom);
    bottomLayout->setContentsMargins(0, 0, 0, 0);
    auto *bar = new QHBoxLayout;
    m_test = new QPushButton(QStringLiteral("&Testar"), bottom);
    m_test->setObjectName(QStringLiteral("btnTestar"));
    m_test->setToolTip(QStringLiteral("Executa a consulta com os parâmetros da tela e mostra as primeiras %1 linhas.")
                           .arg(sampleRows));
    m_verdict = new QLabel(bottom);
    m_verdict->setWordWrap(true);
    m_verdict->setTextInteractionFlags(Qt::TextSelectableByMouse);
    bar->addWidget(m_test);
    bar->addWidget(m_verdict, 1);
    bottomLayout->addLayout(bar);
    m_grid = new QTableWidget(bottom);
    m_grid->setObjectName(QStringLiteral("grdAmostra"));
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->setAlternatingRowColors(true);
    m_grid->verticalHeader()->setDefaultSectionSize(m_grid->fontMetrics().height() + 4);
    bottomLayout->addWidget(m_grid, 1);
    splitter->addWidget(m_tabs);
    splitter->addWidget(bottom);
    splitter->setStretchFactor(0, 3);
    splitter->setStretchFactor(1, 2);
    root->addWidget(splitter);
    connect(m_test, &QPushButton::clicked, this, &ReportQueryEditor::test);
}

void ReportQueryEditor::setDefinition(const ReportDefinition &definition)
{
    m_definition = definition;
    const auto members = sqlMembers();
    for (int i = 0; i < m_texts.size(); ++i) {
        const QSignalBlocker block(m_texts.at(i));
        m_texts.at(i)->setPlainText(definition.*members.at(i));
    }
}

void ReportQueryEditor::applyTo(ReportDefinition &definition) const
{
    const auto members = sqlMembers();
    for (int i = 0; i < m_texts.size(); ++i)
        definition.*members.at(i) = m_texts.at(i)->toPlainText();
}

QString ReportQueryEditor::verdict() const
{
    return m_verdict->text();
}

void ReportQueryEditor::test()
{
    ReportDefinition definition = m_definition;
    applyTo(definition);
    QElapsedTimer clock;
    clock.start();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    try {
        const ReportQuerySample sample = sampler(definition, m_params, sampleRows);
        QApplication::restoreOverrideCursor();
        showSample(sample);
        m_verdict->setStyleSheet(QString());
        m_verdict->setText(QStringLiteral("A consulta funciona: %1 campos; %2 (%3 ms).")
                               .arg(sample.record.count())
                               .arg(sample.rows.size() < sampleRows
                                        ? QStringLiteral("%1 linhas").arg(sample.rows.size())
                                        : QStringLiteral("as primeiras %1 linhas").arg(sampleRows))
                               .arg(clock.elapsed()));
        emit fieldsRead(sample.fields());
    } catch (const ESuiteError &e) {
        QApplication::restoreOverrideCursor();
        m_grid->clear();
        m_grid->setRowCount(0);
        m_grid->setColumnCount(0);
        m_verdict->setStyleSheet(QStringLiteral("color: #A00000;"));
        m_verdict->setText(QStringLiteral("A consulta não funciona: %1").arg(e.message()));
    }
}

void ReportQueryEditor::showSample(const ReportQuerySample &sample)
{
    m_grid->clear();
    m_grid->setColumnCount(sample.record.count());
    m_grid->setRowCount(int(sample.rows.size()));
    QStringList headers;
    for (int c = 0; c < sample.record.count(); ++c)
        headers << sample.record.fieldName(c);
    m_grid->setHorizontalHeaderLabels(headers);
    for (int r = 0; r < sample.rows.size(); ++r) {
        const QVariantList &row = sample.rows.at(r);
        for (int c = 0; c < row.size(); ++c) {
            auto *item = new QTableWidgetItem(shown(row.at(c)));
            if (row.at(c).isNull())
                item->setBackground(QColor(0xF2, 0xF2, 0xF2));
            m_grid->setItem(r, c, item);
        }
    }
    m_grid->resizeColumnsToContents();
}

#include "report/ui/ReportEditDialog.h"
#include "errors/EAbort.h"
#include "app/Interaction.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

enum Col { ColField, ColTitle, ColWidth, ColAlign, ColFormat, ColVisible, ColDataOnly, ColCount };

const char *const alignValues[] = {"left", "right", "center"};
const char *const alignNames[] = {"Esquerda", "Direita", "Centro"};

QPlainTextEdit *sqlEditor(QWidget *parent, const QString &name, const QString &text)
{
    auto *edit = new QPlainTextEdit(parent);
    edit->setObjectName(name);
    edit->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    edit->setLineWrapMode(QPlainTextEdit::NoWrap);
    edit->setPlainText(text);
    return edit;
}

} // namespace

ReportEditDialog::ReportEditDialog(const ReportDefinition &definition, QWidget *parent)
    : QDialog(parent), m_original(definition)
{
    setObjectName(QStringLiteral("ReportEditDialog"));
    setWindowTitle(QStringLiteral("Editar relatório - %1").arg(definition.title));
    resize(900, 640);

    auto *root = new QVBoxLayout(this);
    auto *form = new QFormLayout;
    edtTitulo = new QLineEdit(definition.title, this);
    edtTitulo->setObjectName(QStringLiteral("edtTitulo"));
    form->addRow(QStringLiteral("Título:"), edtTitulo);
    root->addLayout(form);

    tabConsulta = new QTabWidget(this);
    tabConsulta->setObjectName(QStringLiteral("tabConsulta"));
    txtSql = sqlEditor(tabConsulta, QStringLiteral("txtSql"), definition.sql);
    txtSqlSqlite = sqlEditor(tabConsulta, QStringLiteral("txtSqlSqlite"), definition.sqlSqlite);
    txtSqlPg = sqlEditor(tabConsulta, QStringLiteral("txtSqlPg"), definition.sqlPg);
    txtSqlIb = sqlEditor(tabConsulta, QStringLiteral("txtSqlIb"), definition.sqlIb);
    txtSqlOracle = sqlEditor(tabConsulta, QStringLiteral("txtSqlOracle"), definition.sqlOracle);
    txtSqlMssql = sqlEditor(tabConsulta, QStringLiteral("txtSqlMssql"), definition.sqlMssql);
    tabConsulta->addTab(txtSql, QStringLiteral("Consulta (padrão)"));
    tabConsulta->addTab(txtSqlSqlite, QStringLiteral("SQLite"));
    tabConsulta->addTab(txtSqlPg, QStringLiteral("PostgreSQL"));
    tabConsulta->addTab(txtSqlIb, QStringLiteral("InterBase/Firebird"));
    tabConsulta->addTab(txtSqlOracle, QStringLiteral("Oracle"));
    tabConsulta->addTab(txtSqlMssql, QStringLiteral("SQL Server"));
    root->addWidget(tabConsulta, 3);

    auto *verifyRow = new QHBoxLayout;
    auto *btnVerificar = new QPushButton(QStringLiteral("Verificar consulta"), this);
    btnVerificar->setObjectName(QStringLiteral("btnVerificar"));
    lblVerificacao = new QLabel(this);
    lblVerificacao->setObjectName(QStringLiteral("lblVerificacao"));
    lblVerificacao->setWordWrap(true);
    lblVerificacao->setTextInteractionFlags(Qt::TextSelectableByMouse);
    verifyRow->addWidget(btnVerificar);
    verifyRow->addWidget(lblVerificacao, 1);
    root->addLayout(verifyRow);

    root->addWidget(new QLabel(QStringLiteral("Colunas:"), this));
    tblColunas = new QTableWidget(0, ColCount, this);
    tblColunas->setObjectName(QStringLiteral("tblColunas"));
    tblColunas->setHorizontalHeaderLabels({QStringLiteral("Campo"), QStringLiteral("Título"),
                                           QStringLiteral("Largura (mm)"), QStringLiteral("Alinhamento"),
                                           QStringLiteral("Formato"), QStringLiteral("Visível quando"),
                                           QStringLiteral("Só em planilha")});
    tblColunas->horizontalHeader()->setSectionResizeMode(ColTitle, QHeaderView::Stretch);
    tblColunas->setSelectionBehavior(QAbstractItemView::SelectRows);
    tblColunas->setSelectionMode(QAbstractItemView::SingleSelection);
    for (const ReportColumn &c : definition.columns)
        addColumn(c);
    root->addWidget(tblColunas, 2);

    auto *columnButtons = new QHBoxLayout;
    auto *btnAdd = new QPushButton(QStringLiteral("Incluir coluna"), this);
    auto *btnRemove = new QPushButton(QStringLiteral("Excluir coluna"), this);
    auto *btnUp = new QPushButton(QStringLiteral("Subir"), this);
    auto *btnDown = new QPushButton(QStringLiteral("Descer"), this);
    columnButtons->addWidget(btnAdd);
    columnButtons->addWidget(btnRemove);
    columnButtons->addWidget(btnUp);
    columnButtons->addWidget(btnDown);
    columnButtons->addStretch(1);
    root->addLayout(columnButtons);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Cancelar"));
    root->addWidget(buttons);

    connect(buttons, &QDialogButtonBox::accepted, this, &ReportEditDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &ReportEditDialog::reject);
    connect(btnVerificar, &QPushButton::clicked, this, &ReportEditDialog::verify);
    connect(btnAdd, &QPushButton::clicked, this, [this] { addColumn(ReportColumn()); });
    connect(btnRemove, &QPushButton::clicked, this, &ReportEditDialog::removeColumn);
    connect(btnUp, &QPushButton::clicked, this, [this] { moveColumn(-1); });
    connect(btnDown, &QPushButton::clicked, this, [this] { moveColumn(1); });
    m_shown = this->definition().toJson();
}

void ReportEditDialog::addColumn(const ReportColumn &column)
{
    const int row = tblColunas->rowCount();
    tblColunas->insertRow(row);
    tblColunas->setItem(row, ColField, new QTableWidgetItem(column.field));
    tblColunas->setItem(row, ColTitle, new QTableWidgetItem(column.title));
    tblColunas->setItem(
        row, ColWidth, new QTableWidgetItem(QString::number(column.width).replace(QLatin1Char('.'), QLatin1Char(','))));
    auto *align = new QComboBox(tblColunas);
    for (size_t i = 0; i < std::size(alignValues); ++i)
        align->addItem(QString::fromUtf8(alignNames[i]), QString::fromLatin1(alignValues[i]));
    const int current = align->findData(column.align.toLower());
    align->setCurrentIndex(current < 0 ? 0 : current);
    tblColunas->setCellWidget(row, ColAlign, align);
    tblColunas->setItem(row, ColFormat, new QTableWidgetItem(column.format));
    tblColunas->setItem(row, ColVisible, new QTableWidgetItem(column.visibleWhen));
    auto *dataOnly = new QTableWidgetItem;
    dataOnly->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    dataOnly->setCheckState(column.dataOnly ? Qt::Checked : Qt::Unchecked);
    tblColunas->setItem(row, ColDataOnly, dataOnly);
}

void ReportEditDialog::removeColumn()
{
    const int row = tblColunas->currentRow();
    if (row >= 0)
        tblColunas->removeRow(row);
}

void ReportEditDialog::moveColumn(int delta)
{
    const int row = tblColunas->currentRow();
    const int target = row + delta;
    if (row < 0 || target < 0 || target >= tblColunas->rowCount())
        return;
    QList<ReportColumn> columns = definition().columns;
    columns.move(row, target);
    tblColunas->setRowCount(0);
    for (const ReportColumn &c : columns)
        addColumn(c);
    tblColunas->setCurrentCell(target, ColField);
}

ReportDefinition ReportEditDialog::definition() const
{
    ReportDefinition d = m_original;
    d.title = edtTitulo->text().trimmed();
    d.sql = txtSql->toPlainText();
    d.sqlSqlite = txtSqlSqlite->toPlainText();
    d.sqlPg = txtSqlPg->toPlainText();
    d.sqlIb = txtSqlIb->toPlainText();
    d.sqlOracle = txtSqlOracle->toPlainText();
    d.sqlMssql = txtSqlMssql->toPlainText();
    // The text for long lists must give the rows of the main one: once that changes here,
    // nothing says the other still does, so the main text runs alone.
    if (d.sql != m_original.sql || d.sqlSqlite != m_original.sqlSqlite || d.sqlPg != m_original.sqlPg
        || d.sqlIb != m_original.sqlIb || d.sqlOracle != m_original.sqlOracle || d.sqlMssql != m_original.sqlMssql)
        d.largeList = ReportLargeList();
    d.columns.clear();
    auto text = [this](int row, int col) {
        const QTableWidgetItem *item = tblColunas->item(row, col);
        return item ? item->text().trimmed() : QString();
    };
    for (int row = 0; row < tblColunas->rowCount(); ++row) {
        ReportColumn c;
        c.field = text(row, ColField);
        c.title = text(row, ColTitle);
        bool ok = false;
        c.width = QString(text(row, ColWidth)).replace(QLatin1Char(','), QLatin1Char('.')).toDouble(&ok);
        if (!ok)
            c.width = 0;
        if (auto *align = qobject_cast<QComboBox *>(tblColunas->cellWidget(row, ColAlign)))
            c.align = align->currentData().toString();
        c.format = text(row, ColFormat).isEmpty() ? QStringLiteral("text") : text(row, ColFormat);
        c.visibleWhen = text(row, ColVisible);
        const QTableWidgetItem *dataOnly = tblColunas->item(row, ColDataOnly);
        c.dataOnly = dataOnly && dataOnly->checkState() == Qt::Checked;
        d.columns << c;
    }
    return d;
}

void ReportEditDialog::verify()
{
    if (!checkQuery) {
        lblVerificacao->clear();
        return;
    }
    lblVerificacao->setText(checkQuery(definition()));
}

void ReportEditDialog::refuseMissingFields(const QList<MissingField> &missing)
{
    if (missing.isEmpty())
        return;
    QStringList faults;
    for (const MissingField &m : missing)
        faults << QStringLiteral("%1 usa o campo %2, que a consulta não retorna").arg(m.what, m.field);
    if (missing.first().column >= 0)
        tblColunas->setCurrentCell(missing.first().column, ColField);
    throw ESuiteError(QStringLiteral("O relatório não foi mantido: %1. Corrija o campo da coluna ou a consulta.")
                          .arg(faults.join(QStringLiteral("; "))));
}

void ReportEditDialog::accept()
{
    try {
        const ReportDefinition edited = definition();
        edited.validate();
        if (missingFields)
            refuseMissingFields(missingFields(edited));
        if (expressionProblems) {
            const QStringList problems = expressionProblems(edited);
            if (!problems.isEmpty())
                throw ESuiteError(QStringLiteral("O relatório não foi mantido: %1. Corrija a condição.")
                                      .arg(problems.join(QStringLiteral("; "))));
        }
    } catch (const EAbort &) {
        return;
    } catch (const ESuiteError &e) {
        Interaction::instance()->showError(e.message());
        return;
    }
    QDialog::accept();
}

void ReportEditDialog::reject()
{
    if (definition().toJson() != m_shown
        && !Interaction::instance()->confirmDiscard(this, windowTitle(),
                                                    QStringLiteral("As alterações do relatório não foram mantidas.\n"
                                                                   "Deseja fechar e descartá-las?")))
        return;
    QDialog::reject();
}

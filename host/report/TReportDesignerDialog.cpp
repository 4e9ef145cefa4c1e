#include "TReportDesignerDialog.h"
#include "../EAbort.h"

#include <QDir>

TReportDesignerDialog::TReportDesignerDialog(QObject *parent) : QObject(parent) {}

TReportDesignerDialog::~TReportDesignerDialog() = default;

QStringList TReportDesignerDialog::reportNames() const
{
    return {};
}

QString TReportDesignerDialog::definitionFile(const QString &) const
{
    return QString();
}

void TReportDesignerDialog::Preview(QWidget *, const QString &)
{
    throw ESuiteError(QStringLiteral("Relatórios ainda não disponíveis."));
}

void TReportDesignerDialog::Print(QWidget *, const QString &)
{
    throw ESuiteError(QStringLiteral("Relatórios ainda não disponíveis."));
}

void TReportDesignerDialog::SaveAs(QWidget *, const QString &, const QString &)
{
    throw ESuiteError(QStringLiteral("Relatórios ainda não disponíveis."));
}

void TReportDesignerDialog::Edit(QWidget *, const QString &)
{
    throw ESuiteError(QStringLiteral("Relatórios ainda não disponíveis."));
}

void TReportDesignerDialog::SaveDefinitionAs(QWidget *, const QString &, const QString &)
{
    throw ESuiteError(QStringLiteral("Relatórios ainda não disponíveis."));
}

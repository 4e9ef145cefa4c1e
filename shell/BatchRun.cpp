#include "BatchRun.h"
#include "MainWindow.h"

#include "EAbort.h"
#include "ExceptionGuard.h"
#include "Interaction.h"
#include "ListString.h"
#include "TDataSet.h"
#include "TfrmDadosGerRel.h"
#include "controls/TControls.h"
#include "controls/TDateEditPlus.h"
#include "controls/TMaskEdit.h"
#include "controls/TSpinEdit.h"
#include "report/TReportDesignerDialog.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTextStream>

namespace {

// Answers the screen's questions from the command line and prints its messages.
class BatchInteraction : public Interaction
{
public:
    QStringList errors;
    QStringList pendingPick;

    void showError(const QString &text) override
    {
        errors << text;
        QTextStream(stderr) << text << Qt::endl;
    }
    void showInfo(const QString &text) override { QTextStream(stderr) << text << Qt::endl; }
    bool lookup(QWidget *, TDataSource *, const QString &, const QString &, QString &) override { return false; }
    QStringList pickList(QWidget *, TDataSource *, const QString &, const QString &, const QStringList &) override
    {
        return std::exchange(pendingPick, {});
    }
    bool askText(QWidget *, const QString &, const QString &, QString &) override { return false; }
    QString saveFileName(QWidget *, const QString &, const QString &, const QString &) override { return QString(); }
    // Nobody to answer: a question stops what asked it.
    bool confirm(QWidget *, const QString &, const QString &text) override
    {
        QTextStream(stderr) << text << Qt::endl;
        return false;
    }
};

bool truthy(const QString &v)
{
    const QString t = v.trimmed().toUpper();
    return t == QLatin1String("1") || t == QLatin1String("S") || t == QLatin1String("T")
           || t == QLatin1String("TRUE") || t == QLatin1String("SIM");
}

// Leaves the control the way a person does: the focus goes on to the next control.
void leave(QWidget *w)
{
    w->setFocus();
    QApplication::processEvents();
    for (QWidget *next = w->nextInFocusChain(); next && next != w; next = next->nextInFocusChain()) {
        if ((next->focusPolicy() & Qt::TabFocus) && next->isEnabled() && next->isVisible()) {
            next->setFocus(Qt::TabFocusReason);
            break;
        }
    }
    QApplication::processEvents();
}

void setControl(QWidget *form, const QString &name, const QString &value, BatchInteraction &io)
{
    QWidget *w = form->findChild<QWidget *>(name);
    if (!w)
        throw ESuiteError(QStringLiteral("Controle '%1' não existe na tela.").arg(name));
    if (!w->isEnabled() && !qobject_cast<QAbstractButton *>(w))
        throw ESuiteError(QStringLiteral("Controle '%1' está desabilitado.").arg(name));
    if (auto *e = qobject_cast<TMaskEdit *>(w)) {
        e->setFocus();
        e->setText(value);
        leave(e);
    } else if (auto *s = qobject_cast<TSpinEdit *>(w)) {
        s->setFocus();
        s->setText(value);
        leave(s);
    } else if (auto *d = qobject_cast<TDateEditPlus *>(w)) {
        d->setFocus();
        d->setText(value);
        leave(d);
    } else if (auto *r = qobject_cast<TRadioButton *>(w)) {
        if (truthy(value)) r->setChecked(true);
    } else if (auto *c = qobject_cast<TCheckBox *>(w)) {
        c->setChecked(truthy(value));
    } else if (auto *b = qobject_cast<QAbstractButton *>(w)) {
        // A picker: the keys to mark, comma separated or as a JSON array.
        io.pendingPick = value.startsWith(QLatin1Char('[')) ? ListString::decode(value)
                                                            : value.split(QLatin1Char(','), Qt::SkipEmptyParts);
        b->click();
    } else {
        throw ESuiteError(QStringLiteral("Controle '%1' não pode ser preenchido numa execução sem tela.").arg(name));
    }
    if (!io.errors.isEmpty())
        throw EAbort();
}

QString jsonOf(const TParams &params)
{
    QJsonObject o;
    for (int i = 0; i < params.Count(); ++i) {
        const TParam &p = params[i];
        QJsonObject entry;
        entry.insert(QStringLiteral("type"), fieldTypeName(p.DataType()));
        entry.insert(QStringLiteral("value"), p.IsNull() ? QJsonValue() : QJsonValue(p.AsString()));
        o.insert(p.Name(), entry);
    }
    return QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Compact));
}

} // namespace

int runBatch(MainWindow &window, const BatchOptions &options)
{
    BatchInteraction io;
    Interaction *previous = Interaction::install(&io);
    int code = 1;
    try {
        window.show();
        window.openScreen(options.screen, false);
        QApplication::processEvents();
        if (!io.errors.isEmpty())
            throw EAbort();
        QMdiSubWindow *sub = window.mdiArea()->activeSubWindow();
        auto *form = sub ? qobject_cast<TfrmDadosGerRel *>(sub->widget()) : nullptr;
        if (!form)
            throw ESuiteError(QStringLiteral("A tela %1 não foi aberta.").arg(options.screen));
        if (!options.report.isEmpty()) {
            const int index = form->cbbReportNames->findText(options.report);
            if (index < 0)
                throw ESuiteError(QStringLiteral("Relatório '%1' não existe. Disponíveis: %2")
                                      .arg(options.report, form->rpddPadrao->reportNames().join(QStringLiteral("; "))));
            form->cbbReportNames->setCurrentIndex(index);
        }
        for (const auto &[name, value] : options.settings)
            setControl(form, name, value, io);

        form->batchSaveFile = QFileInfo(options.saveFile).absoluteFilePath();
        form->sbtSalvarComo->click();
        if (options.dumpParams)
            QTextStream(stdout) << jsonOf(form->rpddPadrao->lastParams()) << Qt::endl;
        if (io.errors.isEmpty() && QFileInfo::exists(form->batchSaveFile)) {
            QTextStream(stdout) << QStringLiteral("Relatório salvo em %1").arg(form->batchSaveFile) << Qt::endl;
            code = 0;
        } else {
            code = 2;
        }
        form->Close();
        QApplication::processEvents();
    } catch (const EAbort &) {
        code = 2;
    } catch (const ESuiteError &e) {
        QTextStream(stderr) << e.message() << Qt::endl;
        code = 1;
    }
    Interaction::install(previous);
    return code;
}

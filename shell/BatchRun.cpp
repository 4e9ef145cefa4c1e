#include "BatchRun.h"
#include "MainWindow.h"

#include "EAbort.h"
#include "ExceptionGuard.h"
#include "Interaction.h"
#include "ListString.h"
#include "TDataSet.h"
#include "TfrmDadosGerRel.h"
#include "controls/DelphiMask.h"
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
#include <QSet>
#include <QTextStream>

#include <optional>

namespace {

// The keys that the rows of source do not hold (a picker marks only rows it shows).
QStringList keysNotIn(TDataSource *source, const QString &keyField, const QStringList &keys)
{
    TDataSet *rows = source ? source->DataSet() : nullptr;
    if (!rows)
        return keys;
    QSet<QString> present;
    const TField &key = rows->FieldByName(keyField);
    const int count = rows->RecordCount();
    for (int r = 0; r < count; ++r)
        present.insert(rows->rowValue(r, key.columnIndex()).toString());
    QStringList unknown;
    for (const QString &k : keys)
        if (!present.contains(k))
            unknown << k;
    return unknown;
}

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
    QStringList pickList(QWidget *, TDataSource *source, const QString &keyField, const QString &title,
                         const QStringList &) override
    {
        const QStringList keys = std::exchange(pendingPick, {});
        const QStringList unknown = keysNotIn(source, keyField, keys);
        if (!unknown.isEmpty()) {
            showError(QStringLiteral("%1 não está na lista \"%2\": %3. Nada foi gravado.")
                          .arg(unknown.size() == 1 ? QStringLiteral("A chave") : QStringLiteral("As chaves"), title,
                               unknown.join(QStringLiteral(", "))));
            return {};
        }
        return keys;
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

// A yes/no value: true, false, or refused (nullopt) when it is neither.
std::optional<bool> yesNo(const QString &v)
{
    const QString t = v.trimmed().toUpper();
    for (const char *yes : {"1", "S", "T", "TRUE", "SIM"})
        if (t == QLatin1String(yes))
            return true;
    for (const char *no : {"0", "N", "F", "FALSE", "NAO", "NÃO"})
        if (t == QString::fromUtf8(no))
            return false;
    return std::nullopt;
}

// Why a value would be changed on its way into a control, as the control would change it
// without a word: "" when it goes in as given. A person cannot type what a mask drops, a
// week past the box's range or a date followed by other text; a batch run refuses them.
QString maskRefusal(TMaskEdit *edit, const QString &value)
{
    if (!edit->EditMask().isEmpty())
        return DelphiMask::parse(edit->EditMask()).misfit(value);
    if (edit->maxLength() > 0 && value.size() > edit->maxLength())
        return QStringLiteral("tem mais de %1 caracteres").arg(edit->maxLength());
    return QString();
}

QString spinRefusal(TSpinEdit *spin, const QString &value)
{
    const QString t = value.trimmed();
    if (t.isEmpty())
        return QString();
    bool ok = false;
    const qlonglong number = t.toLongLong(&ok);
    if (!ok)
        return QStringLiteral("não é um número inteiro");
    if (number < spin->MinValue || number > spin->MaxValue)
        return QStringLiteral("está fora do intervalo de %1 a %2").arg(spin->MinValue).arg(spin->MaxValue);
    return QString();
}

QString dateRefusal(const QString &value)
{
    if (value.trimmed().isEmpty() || TDateEditPlus::dateOf(value).isValid())
        return QString();
    return QStringLiteral("não é uma data no formato dd/mm/aaaa");
}

[[noreturn]] void refuse(BatchInteraction &io, const QString &name, const QString &value, const QString &why)
{
    io.showError(QStringLiteral("Valor '%1' recusado para %2: %3. Nada foi gravado.").arg(value, name, why));
    throw EAbort();
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
        if (const QString why = maskRefusal(e, value); !why.isEmpty())
            refuse(io, name, value, why);
        e->setFocus();
        e->setText(value);
        leave(e);
    } else if (auto *s = qobject_cast<TSpinEdit *>(w)) {
        if (const QString why = spinRefusal(s, value); !why.isEmpty())
            refuse(io, name, value, why);
        s->setFocus();
        s->setText(value.trimmed());
        leave(s);
    } else if (auto *d = qobject_cast<TDateEditPlus *>(w)) {
        if (const QString why = dateRefusal(value); !why.isEmpty())
            refuse(io, name, value, why);
        d->setFocus();
        // As the person's text reads: a two-digit year in the window, written in full.
        d->SetDate(TDateEditPlus::dateOf(value));
        leave(d);
    } else if (auto *r = qobject_cast<TRadioButton *>(w)) {
        const std::optional<bool> on = yesNo(value);
        if (!on)
            refuse(io, name, value, QStringLiteral("use S ou N"));
        if (!*on)
            refuse(io, name, value, QStringLiteral("um botão de opção só é marcado; marque o outro botão do grupo"));
        r->setChecked(true);
    } else if (auto *c = qobject_cast<TCheckBox *>(w)) {
        const std::optional<bool> on = yesNo(value);
        if (!on)
            refuse(io, name, value, QStringLiteral("use S ou N"));
        c->setChecked(*on);
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

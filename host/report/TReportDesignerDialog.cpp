#include "TReportDesignerDialog.h"
#include "../Database.h"
#include "../EAbort.h"
#include "../SqlBinding.h"
#include "../TfrmDadosGerRel.h"
#include "CsvReportWriter.h"
#include "HtmlReportWriter.h"
#include "ReportDefinitionStore.h"
#include "ReportEditDialog.h"
#include "ReportPager.h"
#include "ReportProgress.h"
#include "ReportRun.h"
#include "XlsxReportWriter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPainter>
#include <QPdfWriter>
#include <QPointer>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QRandomGenerator>
#include <QSaveFile>
#include <QScreen>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryFile>
#include <cstdio>
#include <exception>

namespace {

QPageLayout pageLayout(bool landscape)
{
    return QPageLayout(QPageSize(QPageSize::A4), landscape ? QPageLayout::Landscape : QPageLayout::Portrait,
                       QMarginsF(10, 10, 10, 10), QPageLayout::Millimeter);
}

// A file name made from a title: ASCII letters and digits, words joined by '-'.
QString slugOf(const QString &title)
{
    QString slug;
    for (QChar c : title.normalized(QString::NormalizationForm_KD)) {
        if (c.unicode() < 128 && c.isLetterOrNumber())
            slug += c.toLower();
        else if (c.isSpace() || c == QLatin1Char('-') || c == QLatin1Char('_'))
            if (!slug.isEmpty() && !slug.endsWith(QLatin1Char('-')))
                slug += QLatin1Char('-');
    }
    while (slug.endsWith(QLatin1Char('-')))
        slug.chop(1);
    slug = slug.left(40);
    return slug.isEmpty() ? QStringLiteral("relatorio") : slug;
}

QString titleInFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    return QJsonDocument::fromJson(file.readAll()).object().value(QStringLiteral("title")).toString().trimmed();
}

QString native(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

} // namespace

TReportDesignerDialog::TReportDesignerDialog(QObject *parent) : QObject(parent) {}

TReportDesignerDialog::~TReportDesignerDialog() = default;

QList<TReportDesignerDialog::Entry> TReportDesignerDialog::entries() const
{
    QList<Entry> list;
    if (ReportDir.isEmpty() || ReportCode.trimmed().isEmpty())
        return list;
    const QDir dir(ReportDir);
    const QString code = ReportCode.trimmed();
    const QStringList files = dir.entryList({code + QStringLiteral("*.json")}, QDir::Files, QDir::Name);
    for (const QString &name : files) {
        // LPR077.json and LPR077-xxx.json belong to LPR077; LPR0770.json does not.
        const QString rest = name.mid(code.size());
        if (!rest.isEmpty() && rest.at(0).isLetterOrNumber())
            continue;
        Entry e;
        e.file = dir.absoluteFilePath(name);
        e.fileTitle = titleInFile(e.file);
        if (e.fileTitle.isEmpty())
            e.fileTitle = QFileInfo(name).completeBaseName();
        const auto edited = ReportDefinitionStore::edited(e.file);
        e.title = edited && !edited->title.isEmpty() ? edited->title : e.fileTitle;
        list << e;
    }
    return list;
}

QStringList TReportDesignerDialog::reportNames() const
{
    QStringList names;
    for (const Entry &e : entries())
        names << e.title;
    return names;
}

QString TReportDesignerDialog::definitionFile(const QString &reportName) const
{
    const QList<Entry> list = entries();
    for (const Entry &e : list)
        if (e.title == reportName)
            return e.file;
    for (const Entry &e : list)
        if (e.fileTitle == reportName)
            return e.file;
    return QString();
}

ReportDefinition TReportDesignerDialog::definition(const QString &reportName) const
{
    const QString file = definitionFile(reportName);
    if (file.isEmpty())
        throw ESuiteError(QStringLiteral("O relatório '%1' não foi encontrado no diretório '%2'.")
                              .arg(reportName, native(ReportDir)));
    if (const auto edited = ReportDefinitionStore::edited(file))
        return *edited;
    return ReportDefinition::load(file);
}

void TReportDesignerDialog::setDefinition(const QString &reportName, const ReportDefinition &definition)
{
    const QString file = definitionFile(reportName);
    if (file.isEmpty())
        throw ESuiteError(QStringLiteral("O relatório '%1' não foi encontrado no diretório '%2'.")
                              .arg(reportName, native(ReportDir)));
    definition.validate();
    ReportDefinitionStore::keep(file, definition);
}

TParams TReportDesignerDialog::queryParams(const ReportDefinition &definition)
{
    TParams params = definition.collectParams(dtmDBGeral::dialect());
    bool flag = false;
    if (BeforeGetQueryParams)
        BeforeGetQueryParams(params, flag);
    // A text that was assigned is a value even when empty; only an unassigned parameter
    // is bound as NULL (the drivers take a null QString for NULL).
    for (int i = 0; i < params.Count(); ++i) {
        TParam &p = params[i];
        if (!p.IsNull() && p.Value().metaType().id() == QMetaType::QString && p.Value().toString().isNull())
            p.setValue(QStringLiteral(""));
    }
    m_lastParams = params;
    return params;
}

std::unique_ptr<ReportRun> TReportDesignerDialog::startRun(const QString &reportName)
{
    const ReportDefinition def = definition(reportName);
    def.validate();
    const QSqlDatabase db = dtmDBGeral::dtbGeral();
    if (!db.isOpen())
        throw EDatabaseError(QStringLiteral("O banco de dados não está aberto; o relatório '%1' não pode ser "
                                            "emitido. Entre no sistema novamente.")
                                 .arg(reportName));
    const TParams params = queryParams(def);
    auto run = std::make_unique<ReportRun>(def, params, dtmDBGeral::dialect(), db);
    run->prepare();
    m_lastPageCount = 0;
    m_lastRowCount = 0;
    return run;
}

bool TReportDesignerDialog::interactive(QWidget *parent) const
{
    if (Batch || !qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        return false;
    const QString platform = QGuiApplication::platformName();
    if (platform == QLatin1String("offscreen") || platform == QLatin1String("minimal"))
        return false;
    for (QWidget *w = parent; w; w = w->parentWidget())
        if (auto *form = qobject_cast<TfrmDadosGerRel *>(w); form && !form->batchSaveFile.isEmpty())
            return false;
    return true;
}

void TReportDesignerDialog::renderPaged(QPagedPaintDevice *device, ReportRun &run, ReportProgress &progress)
{
    const auto step = [&progress](qint64 rows, int pages) { progress.update(rows, pages); };
    progress.setPhase(QStringLiteral("Contando as páginas..."));
    ReportPager counter(device, nullptr);
    run.execute(counter, step);
    const int pages = counter.pageCount();

    progress.setPhase(QStringLiteral("Gerando as páginas..."), pages);
    QPainter painter;
    if (!painter.begin(device))
        throw ESuiteError(QStringLiteral("Não foi possível iniciar a saída do relatório (impressora ou arquivo "
                                         "indisponível)."));
    try {
        ReportPager pager(device, &painter, pages);
        m_lastRowCount = run.execute(pager, step);
        m_lastPageCount = pager.pageCount();
    } catch (...) {
        if (auto *printer = dynamic_cast<QPrinter *>(device))
            printer->abort();
        throw;
    }
    painter.end();
}

void TReportDesignerDialog::savePdf(const QString &fileName, ReportRun &run, ReportProgress &progress)
{
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        throw ESuiteError(QStringLiteral("Não foi possível criar o arquivo '%1': %2. Verifique a pasta e a "
                                         "permissão de escrita.")
                              .arg(native(fileName), file.errorString()));
    {
        QPdfWriter writer(&file);
        writer.setPageLayout(pageLayout(run.info().landscape));
        writer.setResolution(600);
        writer.setTitle(run.info().heading);
        writer.setCreator(QStringLiteral("Suite - relatório %1").arg(run.info().code));
        renderPaged(&writer, run, progress);
    }
    if (!file.commit())
        throw ESuiteError(QStringLiteral("Não foi possível gravar o arquivo '%1': %2.")
                              .arg(native(fileName), file.errorString()));
}

void TReportDesignerDialog::saveText(const QString &fileName, const QString &type, ReportRun &run,
                                     ReportProgress &progress)
{
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        throw ESuiteError(QStringLiteral("Não foi possível criar o arquivo '%1': %2. Verifique a pasta e a "
                                         "permissão de escrita.")
                              .arg(native(fileName), file.errorString()));
    progress.setPhase(QStringLiteral("Gravando o arquivo..."));
    const auto step = [&progress](qint64 rows, int pages) { progress.update(rows, pages); };
    if (type == QLatin1String("csv")) {
        CsvReportWriter writer(&file);
        m_lastRowCount = run.execute(writer, step);
    } else {
        HtmlReportWriter writer(&file);
        m_lastRowCount = run.execute(writer, step);
    }
    if (!file.commit())
        throw ESuiteError(QStringLiteral("Não foi possível gravar o arquivo '%1': %2.")
                              .arg(native(fileName), file.errorString()));
}

void TReportDesignerDialog::saveXlsx(const QString &fileName, ReportRun &run, ReportProgress &progress)
{
    const QFileInfo target(fileName);
    if (!target.absoluteDir().exists())
        throw ESuiteError(QStringLiteral("Não foi possível criar o arquivo '%1': a pasta não existe.")
                              .arg(native(fileName)));
    // The workbook is built under a temporary name beside the target and renamed over it
    // only when complete.
    QString temp;
    do {
        temp = target.absoluteDir().filePath(
            QStringLiteral(".%1.%2.tmp").arg(target.fileName()).arg(QRandomGenerator::global()->generate(), 8, 16,
                                                                    QLatin1Char('0')));
    } while (QFileInfo::exists(temp));
    struct Cleanup
    {
        QString name;
        ~Cleanup()
        {
            if (!name.isEmpty())
                QFile::remove(name);
        }
    } cleanup{temp};

    progress.setPhase(QStringLiteral("Gravando a planilha..."));
    {
        XlsxReportWriter writer(temp);
        m_lastRowCount = run.execute(writer, [&progress](qint64 rows, int pages) { progress.update(rows, pages); });
        writer.close();
    }
    if (std::rename(QFile::encodeName(temp).constData(), QFile::encodeName(target.absoluteFilePath()).constData()) != 0)
        throw ESuiteError(QStringLiteral("Não foi possível gravar o arquivo '%1'. Se ele estiver aberto em outro "
                                         "programa, feche-o e tente de novo.")
                              .arg(native(fileName)));
    cleanup.name.clear();
}

void TReportDesignerDialog::Preview(QWidget *parent, const QString &reportName)
{
    std::unique_ptr<ReportRun> run = startRun(reportName);
    const QString title = QStringLiteral("Visualizar - %1").arg(reportName);
    if (!interactive(parent)) {
        // Without a screen the run still happens in full (parameters, query, pages),
        // into a scratch PDF that is thrown away.
        QTemporaryFile scratch(QDir::temp().filePath(QStringLiteral("visualizar-XXXXXX.pdf")));
        if (!scratch.open())
            throw ESuiteError(QStringLiteral("Não foi possível criar um arquivo temporário: %1").arg(scratch.errorString()));
        ReportProgress progress(parent, false, OnProgress, title);
        QPdfWriter writer(&scratch);
        writer.setPageLayout(pageLayout(run->info().landscape));
        writer.setResolution(600);
        renderPaged(&writer, *run, progress);
        return;
    }
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageLayout(pageLayout(run->info().landscape));
    printer.setDocName(run->info().heading);
    QPrintPreviewDialog dialog(&printer, parent);
    dialog.setWindowTitle(title);
    if (const QScreen *screen = parent ? parent->screen() : QGuiApplication::primaryScreen())
        dialog.resize(screen->availableGeometry().size() * 0.9);
    dialog.setWindowState(dialog.windowState() | Qt::WindowMaximized);
    std::exception_ptr failure;
    connect(&dialog, &QPrintPreviewDialog::paintRequested, &dialog, [&](QPrinter *target) {
        if (failure)
            return;
        try {
            ReportProgress progress(&dialog, true, OnProgress, title);
            renderPaged(target, *run, progress);
        } catch (...) {
            failure = std::current_exception();
            QMetaObject::invokeMethod(&dialog, &QDialog::reject, Qt::QueuedConnection);
        }
    });
    dialog.exec();
    if (failure)
        std::rethrow_exception(failure);
}

void TReportDesignerDialog::Print(QWidget *parent, const QString &reportName)
{
    std::unique_ptr<ReportRun> run = startRun(reportName);
    const QString title = QStringLiteral("Imprimir - %1").arg(reportName);
    const bool withDialogs = interactive(parent);
    if (!withDialogs && QPrinterInfo::availablePrinters().isEmpty())
        throw ESuiteError(QStringLiteral("Nenhuma impressora está instalada. Instale uma impressora ou use "
                                         "Salvar para gerar o relatório em PDF."));
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageLayout(pageLayout(run->info().landscape));
    printer.setDocName(run->info().heading);
    if (withDialogs) {
        QPrintDialog dialog(&printer, parent);
        dialog.setWindowTitle(title);
        if (dialog.exec() != QDialog::Accepted)
            return;
    }
    ReportProgress progress(parent, withDialogs, OnProgress, title);
    renderPaged(&printer, *run, progress);
}

void TReportDesignerDialog::SaveAs(QWidget *parent, const QString &reportName, const QString &fileName)
{
    const QString type = QFileInfo(fileName).suffix().toLower();
    static const QStringList types = {QStringLiteral("pdf"), QStringLiteral("csv"), QStringLiteral("xlsx"),
                                      QStringLiteral("html"), QStringLiteral("htm")};
    if (!types.contains(type))
        throw ESuiteError(QStringLiteral("O relatório não pode ser salvo como '%1': escolha um arquivo PDF (.pdf), "
                                         "CSV (.csv), Excel (.xlsx) ou HTML (.html).")
                              .arg(QFileInfo(fileName).fileName()));
    std::unique_ptr<ReportRun> run = startRun(reportName);
    ReportProgress progress(parent, interactive(parent), OnProgress,
                            QStringLiteral("Salvar - %1").arg(reportName));
    if (type == QLatin1String("pdf"))
        savePdf(fileName, *run, progress);
    else if (type == QLatin1String("xlsx"))
        saveXlsx(fileName, *run, progress);
    else
        saveText(fileName, type == QLatin1String("csv") ? type : QStringLiteral("html"), *run, progress);
}

QString TReportDesignerDialog::checkQuery(const ReportDefinition &definition)
{
    try {
        definition.validate();
        const QSqlDatabase db = dtmDBGeral::dtbGeral();
        if (!db.isOpen())
            return QStringLiteral("O banco de dados não está aberto.");
        const TParams params = queryParams(definition);
        QSqlQuery query(db);
        query.setForwardOnly(true);
        PreparedSql::prepare(definition.sqlFor(dtmDBGeral::dialect()), params, dtmDBGeral::dialect()).exec(query);
        const QSqlRecord record = query.record();
        QStringList missing;
        for (const ReportColumn &c : definition.columns)
            if (record.indexOf(c.field) < 0)
                missing << c.field;
        for (const ReportGroup &g : definition.groups)
            if (record.indexOf(g.field) < 0 && !missing.contains(g.field))
                missing << g.field;
        if (!missing.isEmpty())
            return QStringLiteral("A consulta funciona, mas não retorna os campos: %1.")
                .arg(missing.join(QStringLiteral(", ")));
        return QStringLiteral("A consulta funciona e retorna os %1 campos usados pelo relatório.").arg(record.count());
    } catch (const EAbort &) {
        return QStringLiteral("Verificação interrompida.");
    } catch (const ESuiteError &e) {
        return e.message();
    }
}

void TReportDesignerDialog::Edit(QWidget *parent, const QString &reportName)
{
    const ReportDefinition def = definition(reportName);
    const QString file = definitionFile(reportName);
    auto *dialog = new ReportEditDialog(def, parent);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    const QPointer<TReportDesignerDialog> self(this);
    dialog->checkQuery = [self](const ReportDefinition &d) {
        return self ? self->checkQuery(d) : QString();
    };
    connect(dialog, &QDialog::accepted, this, [dialog, file] {
        ReportDefinitionStore::keep(file, dialog->definition());
    });
    dialog->open();
}

void TReportDesignerDialog::SaveDefinitionAs(QWidget *, const QString &reportName, const QString &newTitle)
{
    const QString title = newTitle.trimmed();
    if (title.isEmpty())
        throw ESuiteError(QStringLiteral("Informe o título do novo relatório."));
    for (const Entry &e : entries())
        if (e.title.compare(title, Qt::CaseInsensitive) == 0)
            throw ESuiteError(QStringLiteral("Já existe um relatório com o título '%1'. Informe outro título.")
                                  .arg(title));
    ReportDefinition def = definition(reportName);
    if (!def.title.isEmpty())
        def.heading.replace(def.title, title);
    def.title = title;
    def.code = ReportCode.trimmed();

    const QDir dir(ReportDir);
    const QString base = def.code + QLatin1Char('-') + slugOf(title);
    QString file = dir.absoluteFilePath(base + QStringLiteral(".json"));
    for (int n = 2; QFileInfo::exists(file); ++n)
        file = dir.absoluteFilePath(QStringLiteral("%1-%2.json").arg(base).arg(n));
    def.save(file);
}

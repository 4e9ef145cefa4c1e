#include "report/TReportDesignerDialog.h"
#include "errors/ExceptionGuard.h"
#include "data/Database.h"
#include "errors/EAbort.h"
#include "app/Session.h"
#include "app/Interaction.h"
#include "app/SaveLocation.h"
#include "data/SqlBinding.h"
#include "report/output/CsvReportWriter.h"
#include "report/output/HtmlReportWriter.h"
#include "report/ReportDefinitionStore.h"
#include "report/designer/DesignerEdits.h"
#include "report/designer/ReportDesignerChecks.h"
#include "report/designer/ReportDesignerWindow.h"
#include "report/designer/ReportQueryProbe.h"
#include "report/ui/ReportEditDialog.h"
#include "report/PageStore.h"
#include "report/output/PdfReportWriter.h"
#include "report/output/ReportFile.h"
#include "report/ReportFormat.h"
#include "report/ReportJob.h"
#include "report/ReportLayout.h"
#include "report/ui/ReportPreviewDialog.h"
#include "report/output/ReportPrinter.h"
#include "report/ui/ReportProgress.h"
#include "report/ReportRun.h"
#include "report/output/XlsxReportWriter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPointer>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QScreen>
#include <QSqlQuery>
#include <QSqlRecord>

namespace {

QPageLayout pageLayout(bool landscape)
{
    return QPageLayout(QPageSize(QPageSize::A4), landscape ? QPageLayout::Landscape : QPageLayout::Portrait,
                       QMarginsF(10, 10, 10, 10), QPageLayout::Millimeter);
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

TReportDesignerDialog::TReportDesignerDialog(QObject *parent) : QObject(parent) { }

TReportDesignerDialog::~TReportDesignerDialog() = default;

void TReportDesignerDialog::setLimits(const ReportLimits &limits)
{
    m_limits = std::make_unique<ReportLimits>(limits);
}

ReportLimits TReportDesignerDialog::limits() const
{
    return m_limits ? *m_limits : ReportLimits::fromSession();
}

QList<TReportDesignerDialog::Entry> TReportDesignerDialog::entries() const
{
    QList<Entry> list;
    if (ReportDir.isEmpty() || ReportCode.trimmed().isEmpty())
        return list;
    // The shared folder's reports, then the user's own.
    QStringList files = ReportDefinitionStore::filesOf(ReportDir, ReportCode);
    for (const QString &own : ReportDefinitionStore::filesOf(ReportDefinitionStore::userFolder(), ReportCode))
        if (!files.contains(own))
            files << own;
    for (const QString &file : files) {
        Entry e;
        e.file = file;
        e.fileTitle = titleInFile(e.file);
        if (e.fileTitle.isEmpty())
            e.fileTitle = QFileInfo(file).completeBaseName();
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

QStringList TReportDesignerDialog::unreadable() const
{
    QStringList why;
    for (const Entry &e : entries()) {
        try {
            ReportDefinition::load(e.file);
        } catch (const ESuiteError &error) {
            why << error.message();
        }
    }
    return why;
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

bool TReportDesignerDialog::interactive() const
{
    if (Batch || !qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        return false;
    const QString platform = QGuiApplication::platformName();
    if (platform == QLatin1String("offscreen") || platform == QLatin1String("minimal"))
        return false;
    return true;
}

void TReportDesignerDialog::saveRun(ReportRun &run, const QString &fileName, const QString &type,
                                    ReportProgress &progress)
{
    const ReportLimits limits = this->limits();
    ReportFile file(fileName);
    file.create();
    file.setSizeLimit(limits.fileBytes);
    if (type == QLatin1String("pdf")) {
        progress.setPhase(QStringLiteral("Gerando o PDF..."));
        PdfReportWriter writer(&file, creatorOf(run));
        ReportLayout layout(writer);
        runJob(run, layout, progress, limits);
        m_lastPageCount = layout.pageCount();
    } else if (type == QLatin1String("xlsx")) {
        progress.setPhase(QStringLiteral("Gravando a planilha..."));
        XlsxReportWriter writer(&file);
        runJob(run, writer, progress, limits);
    } else if (type == QLatin1String("csv")) {
        progress.setPhase(QStringLiteral("Gravando o arquivo..."));
        CsvReportWriter writer(&file);
        runJob(run, writer, progress, limits);
    } else {
        progress.setPhase(QStringLiteral("Gravando o arquivo..."));
        HtmlReportWriter writer(&file);
        runJob(run, writer, progress, limits);
    }
    file.commit();
}

void TReportDesignerDialog::runJob(ReportRun &run, ReportSink &sink, ReportProgress &progress,
                                   const ReportLimits &limits, const std::function<void()> &onTick)
{
    ReportJob job(run, Session::current().reportDb(dtmDBGeral::config()), limits);
    job.start(sink);
    job.wait(progress, onTick);
    m_lastRowCount = job.rows();
}

QString TReportDesignerDialog::creatorOf(const ReportRun &run)
{
    return QStringLiteral("Suite - relatório %1").arg(run.info().code);
}

bool TReportDesignerDialog::confirmLongPrint(QWidget *parent, int sheets, bool known) const
{
    const QString text = known
                             ? QStringLiteral("Serão impressas %1 páginas. Deseja continuar?")
                                   .arg(ReportFormat::number(double(sheets), 0))
                             : QStringLiteral("O relatório já passa de %1 páginas para imprimir e ainda não terminou. "
                                              "Deseja continuar a impressão?")
                                   .arg(longPrint);
    return Interaction::instance()->confirm(parent, QStringLiteral("Imprimir"), text);
}

void TReportDesignerDialog::deliverPrint(ReportFile &spool, const PrintRequest &request, int selected, int pageCount)
{
    if (selected == 0)
        throw ESuiteError(QStringLiteral("Nenhuma página do intervalo escolhido existe no relatório, que tem %1 "
                                         "página(s). Escolha outro intervalo.")
                              .arg(pageCount));
    spool.commit();
    if (request.outputFile.isEmpty()) {
        struct Remove
        {
            QString path;
            ~Remove() { QFile::remove(path); }
        } remove{spoolPath()};
        ReportPrinter::submit(remove.path, request);
    }
    m_lastPageCount = pageCount;
}

QString TReportDesignerDialog::proposedFile() const
{
    return SaveLocation::proposal(ReportCode.trimmed(), SaveFileParts ? SaveFileParts() : QStringList());
}

QString TReportDesignerDialog::spoolPath() const
{
    return QDir::temp().filePath(
        QStringLiteral("impressao-%1-%2.pdf").arg(QCoreApplication::applicationPid()).arg(quintptr(this), 0, 16));
}

void TReportDesignerDialog::printRun(QWidget *parent, ReportRun &run, const PrintRequest &request,
                                     ReportProgress &progress)
{
    const ReportLimits limits = this->limits();
    ReportFile spool(request.outputFile.isEmpty() ? spoolPath() : request.outputFile);
    spool.create();
    spool.setSizeLimit(limits.fileBytes);
    PdfReportWriter writer(&spool, creatorOf(run));
    // A printer makes its copies itself; a file gets them written in.
    writer.setCopies(request.outputFile.isEmpty() ? 1 : request.copies, request.collate);
    writer.setReverse(request.reverse);
    PageSelection selection(request, writer);
    ReportLayout layout(selection);
    progress.setPhase(QStringLiteral("Imprimindo..."));
    // Past 200 pages the person is asked: while pages still come, or once the run is over
    // (a quick run is over before anyone could be asked).
    bool asked = Batch;
    auto askIfLong = [&](bool known) {
        const int sheets = selection.passed() * request.copies;
        if (asked || sheets <= longPrint)
            return;
        asked = true;
        if (!confirmLongPrint(parent, sheets, known))
            throw EAbort();
    };
    runJob(run, layout, progress, limits, [&] { askIfLong(false); });
    askIfLong(true);
    deliverPrint(spool, request, selection.passed(), layout.pageCount());
}

void TReportDesignerDialog::printStore(QWidget *parent, const PageStore &store, const PrintRequest &request,
                                       ReportProgress &progress)
{
    const int selected = request.selectedCount(store.finalCount());
    if (!Batch && selected * request.copies > longPrint && !confirmLongPrint(parent, selected * request.copies, true))
        return;
    ReportFile spool(request.outputFile.isEmpty() ? spoolPath() : request.outputFile);
    spool.create();
    spool.setSizeLimit(limits().fileBytes);
    PdfReportWriter writer(&spool, QStringLiteral("Suite - relatório %1").arg(store.setup().code));
    writer.setCopies(request.outputFile.isEmpty() ? 1 : request.copies, request.collate);
    writer.setReverse(request.reverse);
    PageSelection selection(request, writer);
    progress.setPhase(QStringLiteral("Imprimindo..."), store.finalCount());
    store.replay(selection, 0, store.finalCount(), [&](int page) { progress.update(0, page + 1); });
    deliverPrint(spool, request, selection.passed(), store.finalCount());
}

bool TReportDesignerDialog::offerPdfInstead(QWidget *parent, const QString &reportName,
                                            const std::function<void(const QString &)> &savePdf)
{
    if (!QPrinterInfo::availablePrinters().isEmpty())
        return false;
    if (Batch)
        throw ESuiteError(QStringLiteral("Nenhuma impressora está instalada. Instale uma impressora ou use "
                                         "Salvar para gerar o relatório em PDF."));
    if (!Interaction::instance()->confirm(parent, QStringLiteral("Imprimir - %1").arg(reportName),
                                          QStringLiteral("Nenhuma impressora está instalada neste computador.\n"
                                                         "Deseja salvar o relatório em PDF?")))
        return true;
    QString file = Interaction::instance()->saveFileName(parent, QStringLiteral("Salvar em PDF"), proposedFile(),
                                                         QStringLiteral("PDF (*.pdf)"));
    if (file.isEmpty())
        return true;
    if (!file.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive))
        file += QStringLiteral(".pdf");
    savePdf(file);
    SaveLocation::remember(file);
    return true;
}

bool TReportDesignerDialog::askPrinter(QWidget *parent, QPrinter &printer, const QString &title, bool currentPage) const
{
    if (!interactive())
        return true;
    QPrintDialog dialog(&printer, parent);
    dialog.setWindowTitle(title);
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, true);
    dialog.setOption(QAbstractPrintDialog::PrintCollateCopies, true);
    dialog.setOption(QAbstractPrintDialog::PrintCurrentPage, currentPage);
    dialog.setOption(QAbstractPrintDialog::PrintToFile, true);
    return dialog.exec() == QDialog::Accepted;
}

void TReportDesignerDialog::setUpPrinter(QPrinter &printer, const ReportRunInfo &info) const
{
    printer.setPageLayout(pageLayout(info.landscape));
    printer.setDocName(info.heading);
    printer.setFromTo(0, 0);
}

void TReportDesignerDialog::previewPrint(ReportPreviewDialog &dialog, const PageStore &store, ReportJob &job,
                                         const QString &reportName)
{
    const QString title = QStringLiteral("Imprimir - %1").arg(reportName);
    if (offerPdfInstead(&dialog, reportName, [&](const QString &file) { savePreviewPdf(dialog, store, job, file); }))
        return;
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageLayout(pageLayout(store.setup().landscape));
    printer.setDocName(store.setup().title);
    if (!askPrinter(&dialog, printer, title, true))
        return;
    waitForLayout(&dialog, job, title);
    ReportProgress progress(&dialog, true, OnProgress, title);
    printStore(&dialog, store, PrintRequest::fromPrinter(printer, dialog.currentPage()), progress);
}

void TReportDesignerDialog::waitForLayout(QWidget *parent, ReportJob &job, const QString &title)
{
    if (job.isFinished()) {
        job.rethrow();
        return;
    }
    ReportProgress progress(parent, true, {}, title);
    progress.setPhase(QStringLiteral("Aguardando o fim da geração das páginas..."));
    job.wait(progress);
}

void TReportDesignerDialog::savePreviewPdf(ReportPreviewDialog &dialog, const PageStore &store, ReportJob &job,
                                           const QString &fileName)
{
    const QString title = QStringLiteral("Salvar - %1").arg(store.setup().title);
    waitForLayout(&dialog, job, title);
    ReportFile file(fileName);
    file.create();
    PdfReportWriter writer(&file, QStringLiteral("Suite - relatório %1").arg(store.setup().code));
    ReportProgress progress(&dialog, true, OnProgress, title);
    progress.setPhase(QStringLiteral("Gravando o PDF..."), store.finalCount());
    store.replay(writer, 0, store.finalCount(), [&](int page) { progress.update(job.rows(), page + 1); });
    file.commit();
}

void TReportDesignerDialog::previewSave(ReportPreviewDialog &dialog, const PageStore &store, ReportJob &job,
                                        const QString &reportName)
{
    const QString file = Interaction::instance()->saveFileName(
        &dialog, QStringLiteral("Salvar relatório"), proposedFile(),
        QStringLiteral("PDF (*.pdf);;CSV (*.csv);;Excel (*.xlsx);;HTML (*.html)"));
    if (file.isEmpty())
        return;
    if (QFileInfo(file).suffix().compare(QLatin1String("pdf"), Qt::CaseInsensitive) == 0)
        savePreviewPdf(dialog, store, job, file);
    else
        SaveAs(&dialog, reportName, file); // another output: another pass over the data
    SaveLocation::remember(file);
    dialog.showSaved(file);
}

void TReportDesignerDialog::Preview(QWidget *parent, const QString &reportName)
{
    std::unique_ptr<ReportRun> run = startRun(reportName);
    run->setFirstRowsSoon(interactive());
    const QString title = QStringLiteral("Visualizar - %1").arg(reportName);
    PageStore store;
    ReportLayout layout(store);
    ReportJob job(*run, Session::current().reportDb(dtmDBGeral::config()), limits());
    job.start(layout);
    if (!interactive()) {
        // Without a screen the run still happens in full (parameters, query, pages).
        ReportProgress progress(parent, false, OnProgress, title);
        job.wait(progress);
    } else {
        ReportPreviewDialog dialog(store, job, title, parent);
        dialog.print = [&](ReportPreviewDialog &d) { previewPrint(d, store, job, reportName); };
        dialog.save = [&](ReportPreviewDialog &d) { previewSave(d, store, job, reportName); };
        if (const QScreen *screen = parent ? parent->screen() : QGuiApplication::primaryScreen())
            dialog.resize(screen->availableGeometry().size() * 0.9);
        dialog.setWindowState(dialog.windowState() | Qt::WindowMaximized);
        dialog.exec();
        if (dialog.runFailed())
            job.rethrow();
    }
    m_lastRowCount = job.rows();
    m_lastPageCount = store.finalCount();
}

void TReportDesignerDialog::Print(QWidget *parent, const QString &reportName)
{
    std::unique_ptr<ReportRun> run = startRun(reportName);
    const QString title = QStringLiteral("Imprimir - %1").arg(reportName);
    ReportProgress progress(parent, interactive(), OnProgress, title);
    if (offerPdfInstead(parent, reportName,
                        [&](const QString &file) { saveRun(*run, file, QStringLiteral("pdf"), progress); }))
        return;
    QPrinter printer(QPrinter::HighResolution);
    setUpPrinter(printer, run->info());
    if (!askPrinter(parent, printer, title, false))
        return;
    printRun(parent, *run, PrintRequest::fromPrinter(printer), progress);
}

void TReportDesignerDialog::PrintTo(QPrinter &printer, const QString &reportName, int currentPage)
{
    std::unique_ptr<ReportRun> run = startRun(reportName);
    ReportProgress progress(nullptr, false, OnProgress, QStringLiteral("Imprimir - %1").arg(reportName));
    printRun(nullptr, *run, PrintRequest::fromPrinter(printer, currentPage), progress);
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
    ReportProgress progress(parent, interactive(), OnProgress, QStringLiteral("Salvar - %1").arg(reportName));
    saveRun(*run, fileName, type == QLatin1String("htm") ? QStringLiteral("html") : type, progress);
}

QSqlRecord TReportDesignerDialog::queryRecord(const ReportDefinition &definition)
{
    const QSqlDatabase db = dtmDBGeral::dtbGeral();
    if (!db.isOpen())
        throw ESuiteError(QStringLiteral("O banco de dados não está aberto."));
    const TParams params = queryParams(definition);
    QSqlQuery query(db);
    query.setForwardOnly(true);
    PreparedSql::prepare(definition.sqlFor(dtmDBGeral::dialect()), params, dtmDBGeral::dialect()).exec(query);
    return query.record();
}

QList<MissingField> TReportDesignerDialog::missingFields(const ReportDefinition &definition)
{
    return definition.missingFields(queryRecord(definition));
}

QStringList TReportDesignerDialog::expressionProblems(const ReportDefinition &definition)
{
    const TParams params = queryParams(definition);
    QStringList names;
    for (int i = 0; i < params.Count(); ++i)
        names << params[i].Name();
    const QSqlRecord record = queryRecord(definition);
    return definition.styleProblems(record, names) + definition.elementProblems(record, names);
}

QString TReportDesignerDialog::checkQuery(const ReportDefinition &definition)
{
    try {
        definition.validate();
        const QSqlRecord record = queryRecord(definition);
        QStringList missing;
        for (const MissingField &m : definition.missingFields(record))
            if (!missing.contains(m.field))
                missing << m.field;
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

bool TReportDesignerDialog::passesChecks(const ReportDefinition &definition, QWidget *)
{
    return guarded([&] {
        definition.validate();
        QStringList problems;
        for (const MissingField &m : missingFields(definition))
            problems << QStringLiteral("%1 usa o campo %2, que a consulta não retorna").arg(m.what, m.field);
        problems << expressionProblems(definition);
        if (!problems.isEmpty())
            throw ESuiteError(QStringLiteral("O relatório não foi salvo: %1. Corrija e salve de novo.")
                                  .arg(problems.join(QStringLiteral("; "))));
    });
}

DesignerHooks TReportDesignerDialog::designerHooks(QWidget *window, const QString &file, bool writeFile)
{
    DesignerHooks hooks;
    const QPointer<TReportDesignerDialog> self(this);
    // Where the report is (a rename moves it; a blank one has none until it is saved as
    // new) and whether "Salvar" writes it: the designer goes on with a report saved as new,
    // and that one is a file of its own.
    const auto where = std::make_shared<QString>(file);
    const auto writes = std::make_shared<bool>(writeFile);
    // Read on a worker thread: what the probe needs of the session is taken here. A few
    // rows tell the decimals of a computed number, for the format a dropped field gets.
    hooks.querySample = [dialect = dtmDBGeral::dialect(), db = Session::current().reportDb(dtmDBGeral::config()),
                         seconds = ReportLimits::fromSession().seconds](const ReportDefinition &d, const TParams &p) {
        return ReportQueryProbe::sample(d, p, dialect, db, seconds, 20);
    };
    hooks.params = [self](const ReportDefinition &d) { return self ? self->queryParams(d) : TParams(); };
    hooks.saveAsNew = [self, window, where, writes](const ReportDefinition &d) {
        QString file;
        const QString title = self ? self->saveAsNewReport(window, d, &file) : QString();
        if (!title.isEmpty()) {
            *where = file;
            *writes = true;
        }
        return title;
    };
    hooks.save = [self, where, writes, saveAsNew = hooks.saveAsNew](const ReportDefinition &d) {
        if (where->isEmpty())
            return saveAsNew(d);
        if (!self || !self->passesChecks(d, nullptr))
            return QString();
        if (!*writes) {
            // For the screen: later runs of this session use it (see ReportDefinitionStore).
            ReportDefinitionStore::keep(*where, d);
            emit self->reportsChanged(d.title);
            return d.title;
        }
        const TParams params = self->queryParams(d);
        if (!guarded([&] { ReportDefinitionStore::save(*where, d, ReportDesignerChecks::forSession(params)); }))
            return QString();
        emit self->reportsChanged(d.title);
        return d.title;
    };
    hooks.newReport = [self, window](const ReportDefinition &d) {
        if (self)
            self->openDesigner(window, DesignerEdits::blankLike(d), self->designerHooks(window, QString(), true));
    };
    const auto unsaved = [where] {
        if (where->isEmpty())
            Interaction::instance()->showInfo(
                QStringLiteral("O relatório ainda não foi salvo: use \"Salvar\", que pede o título."));
        return where->isEmpty();
    };
    hooks.rename = [self, where, window, unsaved](const ReportDefinition &d) {
        if (unsaved())
            return QString();
        QString title = d.title;
        if (!Interaction::instance()->askText(window, QStringLiteral("Renomear relatório"),
                                              QStringLiteral("Novo título do relatório:"), title)
            || title.trimmed().isEmpty() || title.trimmed() == d.title)
            return QString();
        const bool done = guarded([&] { *where = ReportDefinitionStore::rename(*where, title.trimmed()); });
        if (done && self)
            emit self->reportsChanged(title.trimmed());
        return done ? title.trimmed() : QString();
    };
    hooks.remove = [self, where, window, unsaved](const ReportDefinition &d) {
        if (unsaved())
            return false;
        if (!Interaction::instance()->confirm(window, QStringLiteral("Excluir relatório"),
                                              QStringLiteral("O relatório '%1' será excluído do diretório de "
                                                             "relatórios. Deseja excluí-lo?")
                                                  .arg(d.title)))
            return false;
        const bool done = guarded([&] { ReportDefinitionStore::remove(*where); });
        if (done && self)
            emit self->reportsChanged(QString());
        return done;
    };
    return hooks;
}

QString TReportDesignerDialog::saveAsNewReport(QWidget *window, ReportDefinition definition, QString *file)
{
    QString title = definition.title;
    if (!Interaction::instance()->askText(window, QStringLiteral("Salvar como novo relatório"),
                                          QStringLiteral("Título do novo relatório:"), title)
        || title.trimmed().isEmpty())
        return QString();
    title = title.trimmed();
    if (!definition.title.isEmpty())
        definition.heading.replace(definition.title, title);
    definition.title = title;
    if (!ReportCode.trimmed().isEmpty())
        definition.code = ReportCode.trimmed();
    if (!passesChecks(definition, window))
        return QString();
    // Everyone's reports where the session allows it and the author wants it, else the
    // author's own.
    const bool shared = ReportDefinitionStore::sharedWritable()
                        && Interaction::instance()->confirm(
                            window, QStringLiteral("Salvar como novo relatório"),
                            QStringLiteral("Publicar o relatório para todos, na pasta compartilhada?\n"
                                           "Não: fica só na sua pasta de relatórios."));
    const QString folder = shared ? ReportDefinitionStore::sharedFolder() : ReportDefinitionStore::userFolder();
    const TParams params = queryParams(definition);
    if (!guarded([&] {
            *file = ReportDefinitionStore::saveAsNew(definition, folder, ReportDesignerChecks::forSession(params));
        }))
        return QString();
    emit reportsChanged(title);
    Interaction::instance()->showInfo(
        QStringLiteral("O relatório '%1' foi salvo em %2.").arg(title, QDir::toNativeSeparators(*file)));
    return title;
}

ReportDesignerWindow *TReportDesignerDialog::openDesigner(QWidget *parent, const ReportDefinition &definition,
                                                          const DesignerHooks &hooks)
{
    auto *window = new ReportDesignerWindow(definition, hooks, parent);
    window->setWindowFlag(Qt::Window);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setWindowModality(parent ? Qt::WindowModal : Qt::NonModal);
    window->show();
    return window;
}

void TReportDesignerDialog::Edit(QWidget *parent, const QString &reportName)
{
    const ReportDefinition def = definition(reportName);
    const QString file = definitionFile(reportName);
    openDesigner(parent, def, designerHooks(parent, file, false));
}

ReportDesignerWindow *TReportDesignerDialog::Design(QWidget *parent, const QString &fileName)
{
    const QFileInfo info(fileName);
    ReportDefinition def;
    if (info.exists()) {
        def = ReportDefinition::load(fileName);
    } else {
        // A new report: its code from the name's first part, as the shipped files are named.
        def = DesignerEdits::blankLike(ReportDefinition());
        def.code = info.completeBaseName().section(QLatin1Char('-'), 0, 0).toUpper();
    }
    ReportDir = info.absolutePath();
    ReportCode = def.code;
    return openDesigner(parent, def, designerHooks(parent, fileName, true));
}

void TReportDesignerDialog::EditColumns(QWidget *parent, const QString &reportName)
{
    const ReportDefinition def = definition(reportName);
    const QString file = definitionFile(reportName);
    auto *dialog = new ReportEditDialog(def, parent);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    const QPointer<TReportDesignerDialog> self(this);
    dialog->checkQuery = [self](const ReportDefinition &d) { return self ? self->checkQuery(d) : QString(); };
    dialog->missingFields = [self](const ReportDefinition &d) {
        return self ? self->missingFields(d) : QList<MissingField>();
    };
    dialog->expressionProblems = [self](const ReportDefinition &d) {
        return self ? self->expressionProblems(d) : QStringList();
    };
    connect(dialog, &QDialog::accepted, this,
            [dialog, file] { ReportDefinitionStore::keep(file, dialog->definition()); });
    dialog->open();
}

void TReportDesignerDialog::SaveDefinitionAs(QWidget *, const QString &reportName, const QString &newTitle)
{
    saveNewDefinition(definition(reportName), newTitle);
}

QString TReportDesignerDialog::saveNewDefinition(ReportDefinition def, const QString &newTitle)
{
    const QString title = newTitle.trimmed();
    if (title.isEmpty())
        throw ESuiteError(QStringLiteral("Informe o título do novo relatório."));
    for (const Entry &e : entries())
        if (e.title.compare(title, Qt::CaseInsensitive) == 0)
            throw ESuiteError(
                QStringLiteral("Já existe um relatório com o título '%1'. Informe outro título.").arg(title));
    if (!def.title.isEmpty())
        def.heading.replace(def.title, title);
    def.title = title;
    def.code = ReportCode.trimmed();

    const QString file = ReportDefinitionStore::freeFileName(ReportDir, def.code, title);
    def.save(file);
    return file;
}

#include "BatchRun.h"
#include "MainWindow.h"

#include "form/ControlInput.h"
#include "errors/EAbort.h"
#include "errors/ExceptionGuard.h"
#include "sets/FormChoices.h"
#include "app/Interaction.h"
#include "sets/ParameterSetBar.h"
#include "form/ReportScreen.h"
#include "report/ReportJob.h"
#include "report/TReportDesignerDialog.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTextStream>
#include <QSocketNotifier>
#include <QToolButton>
#include <csignal>
#include <fcntl.h>
#include <memory>
#include <unistd.h>

namespace {

// Answers the screen's questions from the command line and prints its messages.
class BatchInteraction : public Interaction
{
public:
    QStringList errors;

    void showError(const QString &text) override
    {
        errors << text;
        QTextStream(stderr) << text << Qt::endl;
    }
    void showInfo(const QString &text) override { QTextStream(stderr) << text << Qt::endl; }
    bool lookup(QWidget *, TDataSource *, const QString &, const QString &, QString &) override { return false; }
    QStringList pickList(QWidget *, TDataSource *, const QString &, const QString &, const QStringList &) override
    {
        return {};
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

// SIGINT and SIGTERM while a batch run works. The handler only writes the signal's number
// into a pipe; the event loop, which runs while a report is waited for, reads it and
// cancels the running statement, so the run ends through its own paths and the database
// client libraries close their connections before the process exits (dying inside one
// of them crashed Firebird's).
class StopSignals
{
public:
    StopSignals()
    {
        if (::pipe2(s_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
            return;
        struct sigaction action = {};
        action.sa_handler = &StopSignals::onSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        sigaction(SIGINT, &action, &m_oldInt);
        sigaction(SIGTERM, &action, &m_oldTerm);
        m_notifier = std::make_unique<QSocketNotifier>(s_pipe[0], QSocketNotifier::Read);
        QObject::connect(m_notifier.get(), &QSocketNotifier::activated, m_notifier.get(), [this] {
            char c = 0;
            while (::read(s_pipe[0], &c, 1) == 1)
                m_received = c;
            ReportJob::cancelAll();
        });
    }
    ~StopSignals()
    {
        if (!m_notifier)
            return;
        sigaction(SIGINT, &m_oldInt, nullptr);
        sigaction(SIGTERM, &m_oldTerm, nullptr);
        m_notifier.reset();
        ::close(s_pipe[0]);
        ::close(s_pipe[1]);
    }
    StopSignals(const StopSignals &) = delete;
    StopSignals &operator=(const StopSignals &) = delete;

    // The signal received, 0 when none; pending ones are read first.
    int received()
    {
        QCoreApplication::processEvents();
        return m_received;
    }

private:
    static void onSignal(int signal)
    {
        const char c = char(signal);
        [[maybe_unused]] const ssize_t n = ::write(s_pipe[1], &c, 1);
    }

    static inline int s_pipe[2] = {-1, -1};
    struct sigaction m_oldInt = {};
    struct sigaction m_oldTerm = {};
    std::unique_ptr<QSocketNotifier> m_notifier;
    int m_received = 0;
};

// A refusal stops the run before anything is written.
[[noreturn]] void refuse(BatchInteraction &io, const QStringList &messages)
{
    for (const QString &m : messages)
        io.showError(m);
    QTextStream(stderr) << QStringLiteral("Nada foi gravado.") << Qt::endl;
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

ReportScreen *openForm(MainWindow &window, const QString &screen, const BatchInteraction &io)
{
    window.show();
    window.openScreen(screen, false);
    QApplication::processEvents();
    if (!io.errors.isEmpty())
        throw EAbort();
    QMdiSubWindow *sub = window.mdiArea()->activeSubWindow();
    ReportScreen *form = sub ? ReportScreen::of(sub->widget()) : nullptr;
    if (!form)
        throw ESuiteError(QStringLiteral("A tela %1 não foi aberta.").arg(screen));
    return form;
}

void chooseReport(ReportScreen *form, const QString &report)
{
    if (form->chooseReport(report))
        return;
    // A definition that cannot be read is listed by its file's name: it may be the one meant.
    QString message = QStringLiteral("Relatório '%1' não existe. Disponíveis: %2.")
                          .arg(report, form->reportNames().join(QStringLiteral("; ")));
    for (const QString &why : form->unreadableReports())
        message += QLatin1Char('\n') + why;
    throw ESuiteError(message);
}

// A set is applied whole or not at all: nobody is there to see what would be left out.
void applyVariant(ReportScreen *form, const QString &name, BatchInteraction &io)
{
    const std::optional<ParameterSet> set = form->parameterSets().find(name);
    if (!set)
        throw ESuiteError(
            QStringLiteral("Não há conjunto de parâmetros com o nome \"%1\" na tela %2. Veja --list-variants.")
                .arg(name, form->screenCode()));
    if (const QStringList leftOut = FormChoices::apply(*form, *set); !leftOut.isEmpty())
        refuse(io, {FormChoices::leftOutMessage(set->name, leftOut)});
}

void applySettings(ReportScreen *form, const BatchOptions &options, BatchInteraction &io)
{
    if (!options.variant.isEmpty())
        applyVariant(form, options.variant, io);
    if (!options.report.isEmpty())
        chooseReport(form, options.report);
    ControlInput input(form->widget());
    for (const auto &[name, value] : options.settings)
        if (const QStringList refused = input.enter(name, value); !refused.isEmpty())
            refuse(io, refused);
    if (options.period)
        if (const QStringList refused = FormChoices::applyPeriod(*form, *options.period); !refused.isEmpty())
            refuse(io, refused);
}

// The choices the run was given, under a name: the period (or the one date) as --period
// named it, else the dates the run had.
void saveVariant(ReportScreen *form, const BatchOptions &options)
{
    ParameterSet set = FormChoices::capture(*form, options.saveVariant);
    if (set.period) {
        const QDate today = form->periodToday();
        const QDate from = set.period->resolvedFrom(today);
        if (options.period)
            set.period = *options.period;
        else
            set.period = set.period->single() ? RelativePeriod::date(from)
                                              : RelativePeriod::fixed(from, set.period->resolvedTo(today));
    }
    form->parameterSets().save(set);
    QTextStream(stdout) << QStringLiteral("Conjunto \"%1\" gravado em %2")
                               .arg(set.name, QDir::toNativeSeparators(form->parameterSets().userDir()))
                        << Qt::endl;
}

void listVariants(ReportScreen *form)
{
    ParameterSetStore &store = form->parameterSets();
    const QList<ParameterSet> sets = store.sets();
    const QString defaultName = store.defaultName();
    QTextStream out(stdout);
    for (const ParameterSet &set : sets) {
        QStringList notes{set.period ? set.period->text() : QStringLiteral("sem período"),
                          set.shared ? QStringLiteral("compartilhado") : QStringLiteral("do usuário")};
        if (set.name == defaultName)
            notes << QStringLiteral("aplicado ao abrir a tela");
        out << set.name << QStringLiteral("  (") << notes.join(QStringLiteral("; ")) << ')' << Qt::endl;
    }
    for (const ParameterSetStore::Damaged &d : store.damaged())
        QTextStream(stderr) << QStringLiteral("O arquivo '%1' não é um conjunto válido: %2.").arg(d.file, d.why)
                            << Qt::endl;
}

// Runs save-as into the file; 0 when it was written, 2 when the screen refused.
int issue(ReportScreen *form, const BatchOptions &options, const BatchInteraction &io)
{
    QCoreApplication::processEvents(); // a stop asked while the screen was filled ends here
    form->setBatchSaveFile(QFileInfo(options.saveFile).absoluteFilePath());
    // Pressed as a person would: the command runs guarded, as from the button.
    form->widget()->findChild<QToolButton *>(QStringLiteral("sbtSalvarComo"))->click();
    if (options.dumpParams)
        QTextStream(stdout) << jsonOf(form->lastReportParams()) << Qt::endl;
    if (io.errors.isEmpty() && QFileInfo::exists(form->batchSaveFile())) {
        QTextStream(stdout) << QStringLiteral("Relatório salvo em %1").arg(form->batchSaveFile()) << Qt::endl;
        return 0;
    }
    return 2;
}

} // namespace

int runBatch(MainWindow &window, const BatchOptions &options)
{
    BatchInteraction io;
    StopSignals stops;
    Interaction *previous = Interaction::install(&io);
    // Only the set the run names: a default chosen on the screen does not change scheduled runs.
    ReportScreen::setApplyDefaultSets(false);
    int code = 1;
    try {
        ReportScreen *form = openForm(window, options.screen, io);
        if (options.listVariants) {
            listVariants(form);
            code = 0;
        } else {
            applySettings(form, options, io);
            if (!options.saveVariant.isEmpty())
                saveVariant(form, options);
            code = options.saveFile.isEmpty() ? 0 : issue(form, options, io);
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
    if (const int stop = stops.received()) {
        QTextStream(stderr) << QStringLiteral("Emissão interrompida pelo sinal %1 (%2); nada foi gravado.")
                                   .arg(stop == SIGINT ? QStringLiteral("SIGINT") : QStringLiteral("SIGTERM"))
                                   .arg(stop)
                            << Qt::endl;
        return 128 + stop;
    }
    return code;
}

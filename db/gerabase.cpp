// gerabase: creates the purchasing database with demo data.

#include "data/Database.h"
#include "DemoDb.h"
#include "errors/EAbort.h"
#include "GerabaseOptions.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLocale>
#include <QTextStream>

namespace {

QTextStream &out()
{
    static QTextStream stream(stdout);
    return stream;
}

QTextStream &err()
{
    static QTextStream stream(stderr);
    return stream;
}

QString number(qint64 n)
{
    return QLocale(QLocale::Portuguese, QLocale::Brazil).toString(n);
}

// Tables, data and indices in an existing empty database of a server, through its owner.
void buildOnServer(const DbConfig &config, const GerabaseOptions &options, const DemoProgress &progress)
{
    const QString name = QStringLiteral("gerabase");
    {
        QSqlDatabase db = dtmDBGeral::openConnection(config, name, false);
        DemoDb::build(db, config.dialect(), options.demo, progress);
        const std::pair<SchemaDdl::DbRole, QString> roles[] = {{SchemaDdl::DbRole::Screen, options.reader},
                                                               {SchemaDdl::DbRole::Reports, options.reportReader},
                                                               {SchemaDdl::DbRole::AppServer, options.serverReader}};
        for (const auto &[role, user] : roles)
            if (!user.isEmpty())
                DemoDb::grantRole(db, config.dialect(), role, user);
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
}

// Prints a table's progress: a line when it is written, and every two seconds while a big
// one is loading. Keeps the tables written, for the closing line.
class ProgressPrinter
{
public:
    void operator()(const QString &name, qint64 done, qint64 planned);
    qint64 rows() const { return m_rows; }

private:
    QElapsedTimer m_table;
    QElapsedTimer m_lastLine;
    QString m_current;
    qint64 m_rows = 0;
};

void ProgressPrinter::operator()(const QString &name, qint64 done, qint64 planned)
{
    const bool indexes = name == QStringLiteral("índices");
    if (name != m_current) {
        m_current = name;
        m_table.start();
    }
    if (!m_lastLine.isValid())
        m_lastLine.start();
    if (planned >= 0 && done == planned) {
        if (indexes) {
            out()
                << QStringLiteral("  índices e estatísticas criados em %1 s").arg(m_table.elapsed() / 1000.0, 0, 'f', 1)
                << Qt::endl;
        } else {
            m_rows += done;
            out() << QStringLiteral("  %1: %2 linhas em %3 s")
                         .arg(name.leftJustified(10), number(done).rightJustified(11))
                         .arg(m_table.elapsed() / 1000.0, 0, 'f', 1)
                  << Qt::endl;
        }
    } else if (indexes) {
        out() << "  criando índices ..." << Qt::endl;
    } else if (m_lastLine.elapsed() < 2000) {
        return; // a line every two seconds is enough to show a big load moving
    } else if (planned > 0) {
        out() << QStringLiteral("  %1: %2 de %3 (%4%)")
                     .arg(name.leftJustified(10), number(done), number(planned))
                     .arg(done * 100 / planned)
              << Qt::endl;
    } else {
        out() << QStringLiteral("  %1: %2 linhas ...").arg(name.leftJustified(10), number(done)) << Qt::endl;
    }
    m_lastLine.restart();
}

int run(const GerabaseOptions &options)
{
    const QString target = options.onServer() ? options.server.describe() : options.out;
    out() << QStringLiteral("Criando a base %1 ...").arg(target) << Qt::endl;
    QElapsedTimer total;
    total.start();
    ProgressPrinter printer;
    const DemoProgress progress = [&printer](const QString &name, qint64 done, qint64 planned) {
        printer(name, done, planned);
    };
    try {
        if (options.onServer())
            buildOnServer(options.server, options, progress);
        else
            DemoDb::createSqlite(options.out, options.demo, progress);
    } catch (const ESuiteError &e) {
        err() << e.message() << Qt::endl;
        return 1;
    }
    const qint64 rows = printer.rows();
    const double seconds = total.elapsed() / 1000.0;
    out() << QStringLiteral("Base criada: %1 linhas em %2 s (%3 linhas/s), semente %4.")
                 .arg(number(rows))
                 .arg(seconds, 0, 'f', 1)
                 .arg(number(seconds > 0 ? qint64(rows / seconds) : rows))
                 .arg(options.demo.seed)
          << Qt::endl;
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("gerabase"));
    const GerabaseCommandLine line = parseGerabaseOptions(QCoreApplication::arguments());
    if (line.help) {
        out() << line.usage << Qt::flush;
        return 0;
    }
    if (!line.error.isEmpty()) {
        err() << line.error << Qt::endl;
        return line.exitCode;
    }
    return run(line.options);
}

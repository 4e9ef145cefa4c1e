#pragma once

#include "TestEnv.h"
#include "report/TReportDesignerDialog.h"

#include <QDate>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QStringList>
#include <QVariant>

// What the price-list form would put into a run's parameters: a value for each name the
// query declares (dates as dates, everything else as text), nothing for the others.
struct FormValues
{
    QMap<QString, QVariant> values;

    static FormValues defaults()
    {
        FormValues f;
        f.values = {
            {QStringLiteral("P_PAGINA"), QStringLiteral("F")},
            {QStringLiteral("P_CDFILIAL"), QStringLiteral("0001")},
            {QStringLiteral("P_CDFILCENTCMP"), QStringLiteral("0001")},
            {QStringLiteral("P_TODOSPROD"), QStringLiteral("T")},
            {QStringLiteral("P_CDPRODINI"), QString()},
            {QStringLiteral("P_CDPRODFIN"), QStringLiteral("ZZZZZZZZZZ")},
            {QStringLiteral("L_LISTAOPER"), QStringLiteral("T")},
            {QStringLiteral("L_LISTAOPER1"), QStringLiteral("T")},
            {QStringLiteral("L_LISTAFORNE"), QStringLiteral("T")},
            {QStringLiteral("L_LISTAFORNE1"), QStringLiteral("T")},
            {QStringLiteral("P_CDREGIAO"), QStringLiteral("001")},
            {QStringLiteral("P_DTINI"), QDate(2026, 12, 1)},
            {QStringLiteral("P_DTFIN"), QDate(2026, 12, 31)},
            {QStringLiteral("P_SISTEMA"), QStringLiteral("CMP")},
            {QStringLiteral("P_VARIPRECO"), QStringLiteral("N")},
            {QStringLiteral("P_ORDPI"), QStringLiteral("N")},
        };
        return f;
    }

    FormValues &set(const QString &name, const QVariant &value)
    {
        values[name] = value;
        return *this;
    }
    FormValues &suppliers(const QString &list)
    {
        return set(QStringLiteral("L_LISTAFORNE"), list).set(QStringLiteral("L_LISTAFORNE1"), list);
    }

    void fill(TParams &params) const
    {
        for (auto it = values.constBegin(); it != values.constEnd(); ++it) {
            TParam *p = params.FindParam(it.key());
            if (!p)
                continue;
            if (it.value().metaType().id() == QMetaType::QDate)
                p->setAsDate(it.value().toDate());
            else if (it.key().startsWith(QLatin1String("L_")))
                p->setAsString(it.value().toString());
            else
                p->setValue(it.value());
        }
    }

    void install(TReportDesignerDialog &designer) const
    {
        const FormValues copy = *this;
        designer.BeforeGetQueryParams = [copy](TParams &params, bool &) { copy.fill(params); };
    }
};

inline QByteArray readAll(const QString &file)
{
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The lines of a CSV written by the engine, without the byte order mark and the title line.
inline QStringList csvRows(const QString &file, QString *titleLine = nullptr)
{
    QByteArray bytes = readAll(file);
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes.remove(0, 3);
    QStringList lines = QString::fromUtf8(bytes).split(QStringLiteral("\r\n"));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    if (!lines.isEmpty()) {
        if (titleLine)
            *titleLine = lines.first();
        lines.removeFirst();
    }
    return lines;
}

// The fields of one CSV line (';' separated, '"' quoting with doubled quotes inside).
inline QStringList csvFields(const QString &line)
{
    QStringList fields;
    QString field;
    bool quoted = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const QChar c = line.at(i);
        if (quoted) {
            if (c == QLatin1Char('"') && i + 1 < line.size() && line.at(i + 1) == QLatin1Char('"')) {
                field += c;
                ++i;
            } else if (c == QLatin1Char('"')) {
                quoted = false;
            } else {
                field += c;
            }
        } else if (c == QLatin1Char('"')) {
            quoted = true;
        } else if (c == QLatin1Char(';')) {
            fields << field;
            field.clear();
        } else {
            field += c;
        }
    }
    fields << field;
    return fields;
}

inline QString runTool(const QString &program, const QStringList &args)
{
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(60000) || p.exitCode() != 0)
        return QStringLiteral("<%1 failed: %2>").arg(program, QString::fromLocal8Bit(p.readAllStandardError()));
    return QString::fromUtf8(p.readAllStandardOutput());
}

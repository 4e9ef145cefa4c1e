#pragma once

#include <QObject>

class QSocketNotifier;

// SIGTERM and SIGINT as an event of the main loop. block() must run first thing in main,
// before any thread starts, so that every thread (the database client libraries' own too)
// inherits the mask: the signals then reach only this object, whatever handlers a client
// library installs (Firebird's would keep the process up, answering "connection shutdown").
class StopSignals : public QObject
{
    Q_OBJECT
public:
    static void block();

    explicit StopSignals(QObject *parent = nullptr);
    ~StopSignals() override;

signals:
    // name: "SIGTERM" or "SIGINT".
    void stopRequested(const QString &name);

private:
    void read();

    int m_fd = -1;
    QSocketNotifier *m_notifier = nullptr;
};

#pragma once

#include "data/TDataSet.h"
#include "suite_export.h"

#include <QByteArray>
#include <QVariant>

// An in-memory data set filled from a data packet (DataPacket), such as the result of
// an application-server call. Persistent fields are declared with AddField before
// the first load; without them the fields come from the packet.
class SUITE_EXPORT TClientDataSet : public TDataSet
{
    Q_OBJECT
public:
    explicit TClientDataSet(QObject *parent = nullptr);

    // Replaces whatever the data set held by the packet's rows and opens it on them.
    // Packet columns are matched to the fields by name. The rows are read in place
    // (PacketRows): the data set shares the packet's bytes and keeps no copy of its own. Raises ESuiteError when the
    // packet is malformed or lacks one of the persistent fields; the data set is then
    // left exactly as it was.
    void setData(const QByteArray &packet);
    // The same for a server call's result, which must hold a packet.
    void setData(const QVariant &data);

private:
    bool m_fieldsFromPacket = false;
};

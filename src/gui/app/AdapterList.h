#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// One usable local network adapter, as the "Local IP:" box offers it.
struct AdapterObject {
    QString IP;          // first IPv4 unicast address
    QString description; // as the system names the adapter
    qint32 index = -1;   // position of its entry in the box
};

// One adapter as the system reports it, before it is judged usable.
struct SystemAdapter {
    QByteArray HardwareAddress; // empty when the adapter has none
    QString IP;                 // first IPv4 unicast address, or empty
    QString Description;
    int IfType = 0;
    int Operational = 0; // 1 up, 2 down
};

// The machine's adapters, in the order the system lists them.
QList<SystemAdapter> ReadSystemAdapters();

// Builds the adapter list from the system's adapters and logs each one: adapters without a
// physical address (loopback, for one) are skipped, and only those with both an IP and a
// description are kept. Each kept adapter's index is its position in the list, which is also
// its entry's position in the box.
QList<AdapterObject> ExtractComputerMac(const QList<SystemAdapter>& adapters);

// "IP - description": the adapter's entry in the box.
QString AdapterEntryText(const AdapterObject& adapter);

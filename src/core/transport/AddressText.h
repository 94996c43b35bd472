#pragma once

#include <QHostAddress>
#include <QString>

// The text a unit's IP is shown and stored as. A socket bound to the IPv6/IPv4 "any" address
// reports IPv4 peers as "::ffff:a.b.c.d"; those are shown in dotted form like every other IPv4
// address. A genuine IPv6 peer keeps its IPv6 text.
QString HostAddressText(const QHostAddress& address);

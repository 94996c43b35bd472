#pragma once

#include "core/unit/KeyDefinitionTable.h"

#include <QList>
#include <QString>
#include <QStringList>

class InputObjectClass;
class UnitInfoClass;

// The rows the windows show, built from the unit model for the command line: one list of cell
// texts per row, in the order of the columns function beside each builder.

// The main window's unit list: "Mac", "IP", "Product", "Owner"; rows sorted by MAC as the list is.
QStringList ScanColumns();
QStringList ScanRow(const UnitInfoClass& unit);

// A settings menu: "Key" (id in decimal), "Label", "Group" ("Settings", "Status", "Unknown") and
// "Value" (the value text), one row per key the unit reported in the menu's range, in Keys order.
QStringList KeyColumns();
QList<QStringList> MenuKeyRows(const UnitInfoClass& unit, KeyMenu menu);

// The "Inputs" overview: "Address", "Status", one row per input with an address.
QStringList InputColumns();
QList<QStringList> InputRows(const UnitInfoClass& unit);
// One input's keys, with KeyColumns(): the key records that belong to the input, in Keys order.
QList<QStringList> InputDetailRows(const UnitInfoClass& unit, const InputObjectClass& input);

// Wireless devices: "Pos" and the fields under the names the settings backup file gives them.
QStringList DeviceColumns();
QList<QStringList> DeviceRows(const UnitInfoClass& unit);

// Zones, with the zone list's columns.
QStringList ZoneColumns();
QList<QStringList> ZoneRows(const UnitInfoClass& unit);

// Neighbor and route tables: "Owner" (the group header of the reporting node) and the view's
// columns; owners in the view's order (their NWK in decimal, sorted as text), entries in list order.
QStringList NeighborColumns();
QList<QStringList> NeighborRows(const UnitInfoClass& unit);
QStringList RouteColumns();
QList<QStringList> RouteRows(const UnitInfoClass& unit);

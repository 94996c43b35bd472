#pragma once

#include "gui/app/TFormScan.h"

class SimSite;

// `unitscope --demo`: the simulator's demo site runs inside the program and the main window is
// pointed at it, so the tool can be tried without a single unit on the desk.
//
// Everything stays on loopback and on unprivileged ports: unit k answers on 127.0.0.(k+2), the
// tool sends its broadcasts from 127.0.0.1 to 127.255.255.255, and the units' UDP port and the
// tool's own port are free ports the system picks. The units take TCP on port 9095 of their own
// addresses, so "Remote connect" to a unit's IP reaches exactly that unit; when 9095 is taken
// they use free ports and the window is told which. The serial devices sit on pseudo-terminals
// that the COM box offers.
class DemoMode {
public:
    static const QString ADAPTER_IP;
    static const QString BROADCAST_ADDRESS;
    static const QString ADAPTER_DESCRIPTION;

    // Starts a site that has been loaded (SimSite::LoadDemo, or anything a test puts in it).
    static bool StartSite(SimSite& site, QString* error);
    // The window's options for a started site, on top of the given ones.
    static TFormScan::Options ToolOptions(const SimSite& site, TFormScan::Options options = {});
    // One line for the window: what the site holds and the password of a protected unit.
    static QString Notice(const SimSite& site);
};

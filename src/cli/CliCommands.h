#pragma once

#include "cli/CliKeyChanges.h"
#include "cli/CliOptions.h"
#include "cli/CliOutput.h"
#include "core/unit/KeyDefinitionTable.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

class CliSession;

// What one command works with. Prepare checks the arguments before anything goes on the wire, so
// a mistyped command never reaches a unit; Execute then runs it against the session and leaves
// its rows in Output. A failed Execute has recorded its exit status and message in the session.
struct CliContext {
    const CliOptions* Options = nullptr;
    CliSession* Session = nullptr;
    QString Mac;        // normalised; empty when left out with --tcp
    QStringList Args;   // the arguments after the MAC
    QString UsageError; // set by Prepare

    // Filled by Prepare.
    KeyMenu Menu = MENU_NONE;
    QString InputAddress;
    QList<CliKeyArgument> Keys;
    QString Action; // command action, socket kind or radio node
    QString Value;  // the action's argument

    std::optional<CliOutput> Output;
};

struct CliCommand {
    const char* Name;
    bool TakesMac;
    bool (*Prepare)(CliContext& context);
    bool (*Execute)(CliContext& context);
};

// Every command, in the order --help lists them.
const QList<CliCommand>& CliCommandTable();

// CliCommandsUnit.cpp
bool PrepareScan(CliContext& context);
bool ExecuteScan(CliContext& context);
bool PrepareCommand(CliContext& context);
bool ExecuteCommand(CliContext& context);

// CliCommandsSettings.cpp
bool PrepareRead(CliContext& context);
bool ExecuteRead(CliContext& context);
bool PrepareSet(CliContext& context);
bool ExecuteSet(CliContext& context);

// CliCommandsLists.cpp
bool PrepareNoArguments(CliContext& context);
bool ExecuteEventLog(CliContext& context);
bool ExecuteDebugLog(CliContext& context);
bool PrepareSockets(CliContext& context);
bool ExecuteSockets(CliContext& context);
bool ExecuteArp(CliContext& context);
bool ExecuteDevices(CliContext& context);
bool ExecuteZones(CliContext& context);
bool PrepareRadioNode(CliContext& context);
bool ExecuteNeighbors(CliContext& context);
bool ExecuteRoutes(CliContext& context);

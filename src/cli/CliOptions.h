#pragma once

#include "core/transport/CommunicationClass.h"

#include <QString>
#include <QStringList>

// Exit statuses of unitscope-cli: scripts tell a unit that stayed silent from a mistyped command.
inline constexpr int CLI_EXIT_OK = 0;
inline constexpr int CLI_EXIT_NO_ANSWER = 1;
inline constexpr int CLI_EXIT_USAGE = 2;

// The global options and the command of one unitscope-cli run.
struct CliOptions {
    // --tcp HOST[:PORT]: one unit over TCP; discovery goes over that connection.
    bool UseTcp = false;
    QString TcpHost;
    quint16 TcpPort = CommunicationClass::DEFAULT_TCP_PORT;
    // --adapter IP: the local adapter the UDP endpoint binds to (empty: the current local IP).
    QString Adapter;
    CommunicationClass::UdpSettings Udp;
    QStringList SerialPorts; // --serial-port PATH, repeatable
    QString Password;
    int TimeoutMs = 3000;
    QString WorkDir;
    bool Json = false;
    bool DebugLog = false;

    QString Command;
    QStringList Arguments; // what follows the command
};

struct CliParseResult {
    enum Status { Run, Help, Error };
    Status Result = Error;
    CliOptions Options;
    QString Message; // the error for Error
};

// Parses the whole argument list (the program name first). Never exits the process.
CliParseResult ParseCliArguments(const QStringList& arguments);

// The --help text.
QString CliUsageText();

// A MAC as typed ("02-3c-a7-00-01-01", "02:3C:A7:00:01:01") in the tool's form
// ("02-3C-A7-00-01-01"); empty when the text is not six hexadecimal pairs.
QString NormalizeMacText(const QString& text);

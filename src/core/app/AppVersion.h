#pragma once

#include <QString>

// The program's version text: shown in the main window, sent to the cloud and compared with the
// version a unit requires.
inline const QString PROGRAM_VERSION = QStringLiteral("v2.0.16");
inline const QString PROGRAM_NAME = QStringLiteral("Unitscope");

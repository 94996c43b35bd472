#pragma once

#include "core/protocol/KeyChangeEncoder.h"

#include <QString>

// One KEY=VALUE argument of `set`, resolved against the key table and turned into what the key's
// editor would hand to "Send New Settings".
struct CliKeyArgument {
    KeyChange Change;     // key id, value text as the editor hands it over, raw type, input address
    QString Label;        // the key's English label
    QString TypedValue;   // the value as typed, for messages
    bool IsInput = false; // INPUT/ADDRESS/KEY=VALUE
};

// Why an argument cannot be sent. A usage problem (no "=", an unknown key) is told apart from a
// value the key's editor would not take, which names the key and the value.
struct CliKeyProblem {
    bool IsRefusal = false;
    QString Text;
};

// Parses "KEY=VALUE" or "INPUT/ADDRESS/KEY=VALUE". KEY is a key id (decimal or 0x hexadecimal) or
// an English label (exact, else ignoring case); input keys are looked up among the input keys only.
// The value follows the key's editor: "Yes"/"No" for a Yes/No list, an option text for a choice
// list (handed over as its option number), lines separated by "\n" for a multi-line key (handed
// over joined by CR LF), any other text as typed. Keys the settings list cannot change (status and
// button keys) and empty values are refused, as an editor left empty sends nothing.
bool ParseKeyArgument(const QString& argument, CliKeyArgument& result, CliKeyProblem& problem);

// "Refused: key 12 (Label) value \"abc\": reason."
QString RefusalText(quint16 keyId, const QString& label, const QString& value, const QString& reason);

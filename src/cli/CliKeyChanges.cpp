#include "cli/CliKeyChanges.h"

#include "core/unit/KeyDefinitionTable.h"

namespace {

constexpr int FIRST_INPUT_KEY = 150;
constexpr int LAST_INPUT_KEY = 169;

bool InInputRange(int id) {
    return id >= FIRST_INPUT_KEY && id <= LAST_INPUT_KEY;
}

// The slot of the key the text names, searching input keys or the other keys; KEY_NOT_FOUND
// when none matches.
uint16_t FindSlot(const QString& text, bool inputKeys) {
    bool isNumber = false;
    const int number = text.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)
                           ? text.mid(2).toInt(&isNumber, 16)
                           : text.toInt(&isNumber, 10);
    if (isNumber) {
        const uint16_t slot = FindKeyIndex(number);
        return slot != KEY_NOT_FOUND && InInputRange(number) == inputKeys ? slot : KEY_NOT_FOUND;
    }
    // Labels are matched exactly first, so a label that differs only in case from another still
    // reaches its own key.
    for (const Qt::CaseSensitivity sensitivity : {Qt::CaseSensitive, Qt::CaseInsensitive}) {
        for (int slot = 0; slot < KEY_TABLE_SLOTS; ++slot) {
            const KeyDefinition& definition = KeyDefinitionAt(slot);
            if (definition.Id == 0 || InInputRange(definition.Id) != inputKeys)
                continue;
            if (definition.Label.compare(text, sensitivity) == 0)
                return static_cast<uint16_t>(slot);
        }
    }
    return KEY_NOT_FOUND;
}

// The text the key's editor hands over for what the user typed, or false with the reason.
bool EditorValue(const KeyDefinition& key, const QString& typed, QString& value, QString& reason) {
    if (IsStatusKeyType(key.Type)) {
        reason = QStringLiteral("it is a status key, which the unit reports and does not take");
        return false;
    }
    if (typed.isEmpty()) {
        reason = QStringLiteral("an empty value is never sent; an editor left empty means no change");
        return false;
    }
    switch (key.Type) {
    case KEY_KIND_YESNO:
        if (typed.compare(QLatin1String("Yes"), Qt::CaseInsensitive) == 0)
            value = QStringLiteral("Yes");
        else if (typed.compare(QLatin1String("No"), Qt::CaseInsensitive) == 0)
            value = QStringLiteral("No");
        else {
            reason = QStringLiteral("the key takes Yes or No");
            return false;
        }
        return true;
    case KEY_KIND_CHOICE: {
        // The list offers the option texts in index order, so the option number is the index.
        const int count = KeyOptionCount(key.Id);
        QStringList options;
        for (int i = 0; i < count; ++i)
            options.append(GetKeyOptionText(key.Id, i));
        qsizetype index = options.indexOf(typed);
        if (index < 0) {
            for (qsizetype i = 0; i < options.size() && index < 0; ++i)
                if (options[i].compare(typed, Qt::CaseInsensitive) == 0)
                    index = i;
        }
        if (index < 0) {
            reason = QStringLiteral("it is not one of the options: ") + options.join(QStringLiteral(", "));
            return false;
        }
        value = QString::number(index);
        return true;
    }
    case KEY_KIND_TEXTLINES: {
        // The multi-line editor hands its lines over joined by CR LF.
        QString text = typed;
        text.replace(QLatin1String("\\n"), QLatin1String("\n"));
        value = text.split(QLatin1Char('\n')).join(QLatin1String("\r\n"));
        return true;
    }
    case KEY_KIND_TEXT:
    case KEY_KIND_IPV4:
    case KEY_KIND_DURATION:
    case KEY_KIND_TEXT_SUGGEST:
    case KEY_KIND_NUMBER:
    case KEY_KIND_NUMBER_SUGGEST:
        value = typed;
        return true;
    default:
        reason = QStringLiteral("the settings list has no editor for it (a button or a level)");
        return false;
    }
}

} // namespace

QString RefusalText(quint16 keyId, const QString& label, const QString& value, const QString& reason) {
    QString text = QStringLiteral("Refused: key ") + QString::number(keyId);
    if (!label.isEmpty())
        text += QStringLiteral(" (") + label + QLatin1Char(')');
    return text + QStringLiteral(" value \"") + value + QStringLiteral("\": ") + reason + QLatin1Char('.');
}

bool ParseKeyArgument(const QString& argument, CliKeyArgument& result, CliKeyProblem& problem) {
    problem = {};
    const qsizetype equals = argument.indexOf(QLatin1Char('='));
    if (equals <= 0) {
        problem.Text = QStringLiteral("\"") + argument + QStringLiteral("\" is not KEY=VALUE");
        return false;
    }
    QString keyText = argument.left(equals);
    const QString typed = argument.mid(equals + 1);

    result = {};
    if (keyText.startsWith(QLatin1String("INPUT/"), Qt::CaseInsensitive)) {
        const QString rest = keyText.mid(6);
        const qsizetype slash = rest.indexOf(QLatin1Char('/'));
        if (slash <= 0 || slash == rest.size() - 1) {
            problem.Text = QStringLiteral("\"") + keyText + QStringLiteral("\" is not INPUT/ADDRESS/KEY");
            return false;
        }
        result.IsInput = true;
        result.Change.InputAddress = rest.left(slash);
        keyText = rest.mid(slash + 1);
    }

    const uint16_t slot = FindSlot(keyText, result.IsInput);
    if (slot == KEY_NOT_FOUND) {
        const uint16_t other = FindSlot(keyText, !result.IsInput);
        problem.Text = QStringLiteral("unknown key \"") + keyText + QLatin1Char('"');
        if (other != KEY_NOT_FOUND)
            problem.Text += result.IsInput
                                ? QStringLiteral(" among the input keys")
                                : QStringLiteral("; input keys are set as INPUT/ADDRESS/KEY=VALUE");
        return false;
    }
    const KeyDefinition& key = KeyDefinitionAt(slot);
    result.Change.KeyId = key.Id;
    result.Change.RawType = key.Type;
    result.Label = key.Label;
    result.TypedValue = typed;

    QString reason;
    if (!EditorValue(key, typed, result.Change.ValueText, reason)) {
        problem.IsRefusal = true;
        problem.Text = RefusalText(key.Id, key.Label, typed, reason);
        return false;
    }
    return true;
}

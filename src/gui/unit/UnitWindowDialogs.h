#pragma once

#include <QString>
#include <optional>

class QWidget;

// The questions the unit window asks the user: confirmations, input boxes and messages. They sit
// behind this small interface so the window's logic can run without a person at the keyboard (the
// tests answer from a script); the default answers with ordinary modal boxes.
class UnitWindowDialogs {
public:
    virtual ~UnitWindowDialogs() = default;

    // A question with OK and Cancel; true only for OK.
    virtual bool Confirm(QWidget* parent, const QString& text);
    // An input box; nothing when the user cancelled.
    virtual std::optional<QString> AskText(QWidget* parent, const QString& caption, const QString& prompt,
                                           const QString& defaultText);
    // Something the user has to know (a refused value, a finished download).
    virtual void ShowMessage(QWidget* parent, const QString& text);
    // An open-file dialog; empty when cancelled.
    virtual QString OpenFileName(QWidget* parent, const QString& filter);
};

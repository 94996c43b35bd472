#pragma once

#include <QString>

class QWidget;

// The plain dialogs of the status windows. The windows call them through replaceable function
// members, so tests can answer in their place.
namespace StatusDialogs {

// A save-file dialog starting at the proposed path (folder and file name); empty when cancelled.
QString ChooseSaveFile(QWidget* parent, const QString& proposedPath, const QString& filter);

// A message the user acknowledges with OK. It does not block: it may come from a reply that
// arrives while other replies are still being handled.
void ShowMessage(QWidget* parent, const QString& text);

} // namespace StatusDialogs

#include "gui/status/StatusDialogs.h"

#include <QFileDialog>
#include <QMessageBox>

namespace StatusDialogs {

QString ChooseSaveFile(QWidget* parent, const QString& proposedPath, const QString& filter) {
    return QFileDialog::getSaveFileName(parent, QString(), proposedPath, filter);
}

void ShowMessage(QWidget* parent, const QString& text) {
    auto* box =
        new QMessageBox(QMessageBox::NoIcon, QStringLiteral("Unitscope"), text, QMessageBox::Ok, parent);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setModal(false);
    box->show();
}

} // namespace StatusDialogs

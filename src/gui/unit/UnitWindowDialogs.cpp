#include "gui/unit/UnitWindowDialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>

bool UnitWindowDialogs::Confirm(QWidget* parent, const QString& text) {
    return QMessageBox::question(parent, QApplication::applicationName(), text,
                                 QMessageBox::Ok | QMessageBox::Cancel,
                                 QMessageBox::Cancel) == QMessageBox::Ok;
}

std::optional<QString> UnitWindowDialogs::AskText(QWidget* parent, const QString& caption,
                                                  const QString& prompt, const QString& defaultText) {
    bool ok = false;
    const QString text = QInputDialog::getText(parent, caption, prompt, QLineEdit::Normal, defaultText, &ok);
    if (!ok)
        return std::nullopt;
    return text;
}

void UnitWindowDialogs::ShowMessage(QWidget* parent, const QString& text) {
    QMessageBox::information(parent, QApplication::applicationName(), text);
}

QString UnitWindowDialogs::OpenFileName(QWidget* parent, const QString& filter) {
    return QFileDialog::getOpenFileName(parent, QString(), QString(), filter);
}

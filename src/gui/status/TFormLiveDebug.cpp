#include "gui/status/TFormLiveDebug.h"

#include "core/app/DebugLog.h"
#include "core/app/MainClass.h"
#include "core/transport/CommunicationClass.h"
#include "gui/status/StatusDialogs.h"

#include <QFile>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

TFormLiveDebug::TFormLiveDebug(MainClass& main, QWidget* parent) : QDialog(parent), Main(main) {
    setWindowTitle(QStringLiteral("Live Debug"));
    setWindowFlag(Qt::WindowMaximizeButtonHint);
    setSizeGripEnabled(true);
    resize(760, 420);

    List = new QListWidget(this);
    List->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    // The list scrolls sideways as far as its longest line, so no line is cut; lines are laid out
    // in batches so a long session stays quick to show.
    List->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    List->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    List->setLayoutMode(QListView::Batched);

    CloseBtn = new QPushButton(QStringLiteral("Close"), this);
    Clear = new QPushButton(QStringLiteral("Clear Log"), this);
    Save = new QPushButton(QStringLiteral("Save To File"), this);
    for (QPushButton* button : {CloseBtn, Clear, Save})
        button->setAutoDefault(false);
    connect(CloseBtn, &QPushButton::clicked, this, &QDialog::close);
    connect(Clear, &QPushButton::clicked, this, &TFormLiveDebug::ClearLog);
    connect(Save, &QPushButton::clicked, this, &TFormLiveDebug::SaveToFile);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(Clear);
    buttons->addWidget(Save);
    buttons->addStretch(1);
    buttons->addWidget(CloseBtn);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(List, 1);
    layout->addLayout(buttons);

    ChooseSaveFile = &StatusDialogs::ChooseSaveFile;
    ConnectTransport();
}

TFormLiveDebug::~TFormLiveDebug() = default;

void TFormLiveDebug::ConnectTransport() {
    if (TransportConnected || !Main.HasTransport())
        return;
    TransportConnected = true;
    connect(&Main.Transport(), &CommunicationClass::serialTextLine, this, &TFormLiveDebug::AddSerialTextLine);
}

QString TFormLiveDebug::StampedLine(const QDateTime& time, const QString& text) {
    return time.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz")) + QStringLiteral(": ") + text;
}

QString TFormLiveDebug::DefaultFileName(const QDateTime& now) {
    return QStringLiteral("Q7_Live_Debug_") + now.toString(QStringLiteral("yyyyMMdd_hhmmss")) +
           QStringLiteral(".log");
}

void TFormLiveDebug::AddSerialTextLine(const QString& text) {
    const QString line = StampedLine(QDateTime::currentDateTime(), text);
    KeptLines.append(line);
    // Lines that arrive while the window is closed are kept for "Save To File" but not listed.
    if (isVisible())
        AddLiveDebugLine(line);
}

void TFormLiveDebug::AddLiveDebugLine(const QString& line) {
    List->addItem(line);
    List->setCurrentRow(List->count() - 1);
}

void TFormLiveDebug::ClearLog() {
    List->clear();
    KeptLines.clear();
}

void TFormLiveDebug::SaveToFile() {
    const QString path = ChooseSaveFile(
        this, Main.WorkFolder() + QLatin1Char('/') + DefaultFileName(QDateTime::currentDateTime()),
        QStringLiteral("Logfiles (*.log)"));
    if (path.isEmpty())
        return;
    SaveLinesToFile(path);
}

bool TFormLiveDebug::SaveLinesToFile(const QString& path) const {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append)) {
        WriteLog(QStringLiteral("Unable to save live debug lines to file: ") + path);
        return false;
    }
    QByteArray bytes;
    for (const QString& line : KeptLines)
        bytes += line.toUtf8() + '\n';
    if (file.write(bytes) != bytes.size()) {
        WriteLog(QStringLiteral("Unable to save live debug lines to file: ") + path);
        return false;
    }
    return true;
}

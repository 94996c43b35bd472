#include "gui/app/TFormScan.h"

#include "core/app/AppVersion.h"
#include "core/app/DebugLog.h"
#include "core/app/MainClass.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

TFormScan::TFormScan(const Options& options, QWidget* parent) : QMainWindow(parent) {
    MainClass::Options mainOptions;
    mainOptions.WorkDir = options.WorkDir;
    MainObject = new MainClass(mainOptions, this);

    const QString title = PROGRAM_NAME + QLatin1Char(' ') + PROGRAM_VERSION;
    setWindowTitle(title);
    setMinimumSize(550, 400);

    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->addStretch(1);
    auto* buttons = new QHBoxLayout;
    for (const QString& caption : {QStringLiteral("Remote connect"), QStringLiteral("Scan for units"),
                                   QStringLiteral("Serial connect"), QStringLiteral("Close")}) {
        auto* button = new QPushButton(caption, central);
        buttons->addWidget(button);
        CommandButtons.append(button);
    }
    connect(CommandButtons.last(), &QPushButton::clicked, this, &QWidget::close);
    layout->addLayout(buttons);
    VersionLabel =
        new QLabel(title + QStringLiteral(" - service tool for alarm transmission units"), central);
    VersionLabel->setAlignment(Qt::AlignRight);
    layout->addWidget(VersionLabel);
    setCentralWidget(central);

    if (!MainObject->LoadSettings())
        WriteLog(QStringLiteral("Unable to load config file"));

    ApplyScreenSize();

    Timer = new QTimer(this);
    Timer->setInterval(1000);
    connect(Timer, &QTimer::timeout, this, &TFormScan::OnTimer);
    Timer->start();

    MainObject->CreateTransport();
    MainObject->Transport().Bind();

    WriteLog(QStringLiteral("Startup finished"));
}

TFormScan::~TFormScan() = default;

void TFormScan::ApplyScreenSize() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) {
        WriteLog(QStringLiteral("Unable to read screen size"));
        return;
    }
    const int width = screen->geometry().width();
    if (width < 1367 || MainObject->WindowSize == 2) {
        WriteLog(QStringLiteral("Low screen width. Auto full size"));
        MainObject->WindowSize = 2;
        for (QPushButton* button : CommandButtons) {
            QFont font = button->font();
            font.setPointSize(12);
            button->setFont(font);
            button->setMinimumHeight(30);
        }
    } else {
        WriteLog(QStringLiteral("Screen width: ") + QString::number(width));
    }
}

void TFormScan::OnTimer() {
    DebugLog::instance().tick();
}

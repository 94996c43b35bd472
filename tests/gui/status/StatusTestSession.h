#pragma once

#include "core/app/MainClass.h"
#include "core/protocol/UnitConfigHandlerClass.h"
#include "core/unit/UnitInfoClass.h"
#include "sim/SimSite.h"
#include "support/TempHome.h"

#include <QAbstractEventDispatcher>
#include <QDeadlineTimer>
#include <QDir>
#include <QTimer>
#include <memory>
#include <ostream>

// Failure messages show texts as text. Internal linkage, so no other test file's printer clashes.
[[maybe_unused]] static void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

// Runs the event loop until the condition holds (true) or the time is up (false), without the
// sleeps of QTest::qWaitFor, so many round trips stay quick.
template <typename Condition> bool WaitUntil(Condition condition, int timeoutMs = 5000) {
    const QDeadlineTimer deadline(timeoutMs);
    QTimer tick; // wakes the loop now and then so the deadline is seen even when nothing happens
    tick.start(20);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QAbstractEventDispatcher::instance()->processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

// The program's services in a fresh home and work folder, talking over TCP to one unit of the
// simulator's demo site running in this process; that unit is opened (the current unit) once
// its discovery reply is in.
class StatusTestSession {
public:
    StatusTestSession() = default;
    ~StatusTestSession() {
        Main.reset();
        Site.Stop();
        QDir::setCurrent(SavedCurrent);
    }

    // Changes to the site go between LoadDemo (done here) and Start.
    SimSite& DemoSite() {
        if (Site.UnitCount() == 0)
            Site.LoadDemo();
        return Site;
    }

    // Starts the site and the program's services only; nothing is connected.
    bool StartServices(QString* error) {
        DemoSite();
        SimNetworkOptions options;
        options.UnitUdpPort = 0;
        options.TcpPort = 0;
        options.WorkstationPort = 0;
        if (!Site.Start(options, error))
            return false;
        MainClass::Options mainOptions;
        mainOptions.WorkDir = Home.path() + QStringLiteral("/work");
        mainOptions.Udp.LocalPort = 0;
        Main = std::make_unique<MainClass>(mainOptions);
        Main->CreateTransport();
        return true;
    }

    // Starts everything and opens unit `index` of the site over TCP.
    bool Open(int index, QString* error) {
        if (!StartServices(error))
            return false;
        const QString password =
            index == SimSite::DEMO_PASSWORD_UNIT ? QString::fromLatin1(SimSite::DEMO_PASSWORD) : QString();
        Main->Transport().Connect(Site.UnitAddress(index).toString(), Site.UnitTcpPort(index));
        if (!WaitUntil([&] { return Main->Transport().IsTcpConnected(); })) {
            *error = QStringLiteral("no TCP connection to the simulated unit");
            return false;
        }
        Main->SendDiscovery(password, true);
        const QString mac = Site.Unit(index).MacText();
        if (!WaitUntil([&] { return Handler().FindUnit(mac) != nullptr; })) {
            *error = QStringLiteral("no discovery reply");
            return false;
        }
        Unit = Handler().FindUnit(mac);
        Handler().SetCurrentUnit(Unit, password);
        return true;
    }

    UnitConfigHandlerClass& Handler() { return Main->ConfigHandler(); }
    QString WorkFolder() const { return Main->WorkFolder(); }

    TempHome Home;
    SimSite Site;
    std::unique_ptr<MainClass> Main;
    UnitInfoClass* Unit = nullptr;

private:
    QString SavedCurrent = QDir::currentPath();
};

#pragma once

#include "sim/SimNetwork.h"
#include "sim/SimRecorder.h"
#include "sim/SimUnit.h"

#include <QJsonObject>
#include <QObject>
#include <QStringList>
#include <QTimer>
#include <memory>
#include <vector>

class SimSerialDevice;

// A set of simulated network units and serial devices: what `unitscope-sim` runs, and what the
// tool's tests, the CLI tests and `unitscope --demo` start in process:
//
//   SimSite site;
//   site.LoadDemo();
//   SimNetworkOptions options;            // or change ports and addresses first
//   options.UnitUdpPort = 0;              // free ports for a test
//   options.TcpPort = 0;
//   options.WorkstationPort = 0;          // answer whatever port asked
//   if (!site.Start(options, &error)) ...
//   site.UnitAddress(0), site.UnitTcpPort(0), site.SerialDevicePaths(), site.Recorder().received()
class SimSite : public QObject {
    Q_OBJECT
public:
    // The demo site's one password-protected unit (index 2, product 4) uses this password.
    static constexpr const char* DEMO_PASSWORD = "1234";
    static constexpr int DEMO_PASSWORD_UNIT = 2;

    explicit SimSite(QObject* parent = nullptr);
    ~SimSite() override;

    // --- contents (change them while stopped) ---
    // A product-1 unit, a product-3 unit with a wireless network, a product-4 unit with the
    // password DEMO_PASSWORD, and one serial device of hardware 5.
    void LoadDemo();
    bool LoadFile(const QString& path, QString* error);
    bool SaveFile(const QString& path, QString* error) const;
    // {"Units": [unit, ...], "SerialDevices": [device, ...]}; replaces the contents.
    bool LoadJson(const QJsonObject& json, QString* error);
    QJsonObject ToJson() const;
    void Clear();
    SimUnit& AddUnit(SimUnit unit);
    SimSerialDevice* AddSerialDevice();
    void RemoveSerialDevices();

    // Applies to every unit (the command line's --misbehave and --max-reply-bytes).
    void SetMisbehaviourForAll(const SimMisbehaviourSettings& settings);
    void SetMaxReplyBytesForAll(int bytes);

    // --- running ---
    // Binds the units' sockets and opens the serial devices' pseudo-terminals. On failure
    // nothing stays open and *error says why.
    bool Start(const SimNetworkOptions& options, QString* error);
    bool StartSerialOnly(QString* error); // no network at all (a test of the serial side)
    void Stop();
    bool IsRunning() const { return Running; }
    // Lets the radio networks' clocks run (device supervision, tests); on by default while started.
    void SetRadioClockEnabled(bool enabled);

    // --- queries ---
    int UnitCount() const { return static_cast<int>(Units.size()); }
    SimUnit& Unit(int index) { return *Units.at(static_cast<size_t>(index)); }
    const SimUnit& Unit(int index) const { return *Units.at(static_cast<size_t>(index)); }
    SimUnit* FindUnit(const QString& macText);
    int UnitIndex(const QString& macText) const; // -1 when no unit has that MAC
    QStringList UnitMacs() const;
    // While started: where each unit is reached.
    QHostAddress UnitAddress(int index) const { return Net.UnitAddress(index); }
    quint16 UnitUdpPort() const { return Net.UnitUdpPort(); }
    quint16 UnitTcpPort(int index) const { return Net.UnitTcpPort(index); }

    int SerialDeviceCount() const { return static_cast<int>(SerialDevices.size()); }
    SimSerialDevice* SerialDevice(int index) const { return SerialDevices.at(static_cast<size_t>(index)); }
    QStringList SerialDevicePaths() const; // empty paths until started

    SimRecorder& Recorder() { return Records; }
    SimNetwork& Network() { return Net; }

private:
    bool OpenSerialDevices(QString* error);
    void AdvanceRadioClocks();

    std::vector<std::unique_ptr<SimUnit>> Units;
    std::vector<SimSerialDevice*> SerialDevices; // children of the site
    SimRecorder Records;
    SimNetwork Net;
    QTimer RadioClock;
    bool RadioClockEnabled = true;
    bool Running = false;
};

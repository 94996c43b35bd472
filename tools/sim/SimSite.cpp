#include "sim/SimSite.h"

#include "sim/SimJsonFields.h"
#include "sim/SimSerialDevice.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSaveFile>

SimSite::SimSite(QObject* parent) : QObject(parent) {
    Net.SetRecorder(&Records);
    RadioClock.setInterval(1000);
    connect(&RadioClock, &QTimer::timeout, this, &SimSite::AdvanceRadioClocks);
}

SimSite::~SimSite() {
    Stop();
}

void SimSite::Clear() {
    Stop();
    Units.clear();
    RemoveSerialDevices();
}

void SimSite::RemoveSerialDevices() {
    for (SimSerialDevice* device : SerialDevices)
        delete device;
    SerialDevices.clear();
}

void SimSite::LoadDemo() {
    Clear();
    AddUnit(SimUnit::Demo(1, 0));
    AddUnit(SimUnit::Demo(3, 1));
    SimUnit& protectedUnit = AddUnit(SimUnit::Demo(4, DEMO_PASSWORD_UNIT));
    protectedUnit.SetPassword(QLatin1String(DEMO_PASSWORD));
    protectedUnit.MarkFactoryState();
    SimSerialDevice* device = AddSerialDevice();
    device->SetHardwareType(5);
}

SimUnit& SimSite::AddUnit(SimUnit unit) {
    Units.push_back(std::make_unique<SimUnit>(std::move(unit)));
    return *Units.back();
}

SimSerialDevice* SimSite::AddSerialDevice() {
    auto* device = new SimSerialDevice(this);
    device->SetRecorder(&Records);
    SerialDevices.push_back(device);
    return device;
}

bool SimSite::LoadJson(const QJsonObject& json, QString* error) {
    const QJsonValue units = json.value(QStringLiteral("Units"));
    const QJsonValue devices = json.value(QStringLiteral("SerialDevices"));
    if (!units.isUndefined() && !units.isArray()) {
        SimSetError(error, QStringLiteral("site: \"Units\" must be an array"));
        return false;
    }
    if (!devices.isUndefined() && !devices.isArray()) {
        SimSetError(error, QStringLiteral("site: \"SerialDevices\" must be an array"));
        return false;
    }
    // Everything is checked before the current contents go.
    std::vector<SimUnit> loaded;
    const QJsonArray unitArray = units.toArray();
    for (qsizetype i = 0; i < unitArray.size(); ++i) {
        QString unitError;
        std::optional<SimUnit> unit = SimUnit::FromJson(unitArray.at(i).toObject(), &unitError);
        if (!unit) {
            SimSetError(error, QStringLiteral("site: unit %1: %2").arg(i + 1).arg(unitError));
            return false;
        }
        for (const SimUnit& other : loaded) {
            if (other.Mac() == unit->Mac()) {
                SimSetError(error, QStringLiteral("site: unit %1: the MAC %2 is used twice")
                                       .arg(i + 1)
                                       .arg(unit->MacText()));
                return false;
            }
        }
        loaded.push_back(std::move(*unit));
    }
    std::vector<SimSerialDevice*> loadedDevices;
    const QJsonArray deviceArray = devices.toArray();
    for (qsizetype i = 0; i < deviceArray.size(); ++i) {
        auto* device = new SimSerialDevice(this);
        QString deviceError;
        if (!device->LoadJson(deviceArray.at(i).toObject(), &deviceError)) {
            delete device;
            for (SimSerialDevice* done : loadedDevices)
                delete done;
            SimSetError(error, QStringLiteral("site: serial device %1: %2").arg(i + 1).arg(deviceError));
            return false;
        }
        device->SetRecorder(&Records);
        loadedDevices.push_back(device);
    }
    Clear();
    for (SimUnit& unit : loaded)
        AddUnit(std::move(unit));
    SerialDevices = loadedDevices;
    return true;
}

QJsonObject SimSite::ToJson() const {
    QJsonArray units;
    for (const auto& unit : Units)
        units.append(unit->ToJson());
    QJsonArray devices;
    for (const SimSerialDevice* device : SerialDevices)
        devices.append(device->ToJson());
    return QJsonObject{{QStringLiteral("Units"), units}, {QStringLiteral("SerialDevices"), devices}};
}

bool SimSite::LoadFile(const QString& path, QString* error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        SimSetError(error, QStringLiteral("Cannot read the site file %1: %2").arg(path, file.errorString()));
        return false;
    }
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &parseError);
    if (document.isNull() || !document.isObject()) {
        SimSetError(error, QStringLiteral("The site file %1 is not a JSON object: %2 (at byte %3)")
                               .arg(path, parseError.errorString())
                               .arg(parseError.offset));
        return false;
    }
    return LoadJson(document.object(), error);
}

bool SimSite::SaveFile(const QString& path, QString* error) const {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        SimSetError(error, QStringLiteral("Cannot write the site file %1: %2").arg(path, file.errorString()));
        return false;
    }
    file.write(QJsonDocument(ToJson()).toJson(QJsonDocument::Indented));
    if (!file.commit()) {
        SimSetError(error, QStringLiteral("Cannot write the site file %1: %2").arg(path, file.errorString()));
        return false;
    }
    return true;
}

void SimSite::SetMisbehaviourForAll(const SimMisbehaviourSettings& settings) {
    for (const auto& unit : Units)
        unit->Misbehaviour.SetSettings(settings);
}

void SimSite::SetMaxReplyBytesForAll(int bytes) {
    for (const auto& unit : Units)
        unit->MaxReplyBytes = bytes;
}

bool SimSite::Start(const SimNetworkOptions& options, QString* error) {
    Stop();
    QList<SimUnit*> units;
    for (const auto& unit : Units)
        units.append(unit.get());
    if (!Net.Start(units, options, error))
        return false;
    if (!OpenSerialDevices(error)) {
        Net.Stop();
        return false;
    }
    Running = true;
    if (RadioClockEnabled)
        RadioClock.start();
    return true;
}

bool SimSite::StartSerialOnly(QString* error) {
    Stop();
    if (!OpenSerialDevices(error))
        return false;
    Running = true;
    return true;
}

bool SimSite::OpenSerialDevices(QString* error) {
    for (SimSerialDevice* device : SerialDevices) {
        if (!device->Open(error)) {
            for (SimSerialDevice* opened : SerialDevices)
                opened->Close();
            return false;
        }
    }
    return true;
}

void SimSite::Stop() {
    RadioClock.stop();
    Net.Stop();
    for (SimSerialDevice* device : SerialDevices)
        device->Close();
    Running = false;
}

void SimSite::SetRadioClockEnabled(bool enabled) {
    RadioClockEnabled = enabled;
    if (!enabled)
        RadioClock.stop();
    else if (Running)
        RadioClock.start();
}

void SimSite::AdvanceRadioClocks() {
    for (const auto& unit : Units) {
        if (unit->Radio)
            unit->Radio->AdvanceSeconds(1);
    }
}

SimUnit* SimSite::FindUnit(const QString& macText) {
    const int index = UnitIndex(macText);
    return index < 0 ? nullptr : Units[static_cast<size_t>(index)].get();
}

int SimSite::UnitIndex(const QString& macText) const {
    for (size_t i = 0; i < Units.size(); ++i) {
        if (Units[i]->MacText().compare(macText, Qt::CaseInsensitive) == 0)
            return static_cast<int>(i);
    }
    return -1;
}

QStringList SimSite::UnitMacs() const {
    QStringList macs;
    for (const auto& unit : Units)
        macs.append(unit->MacText());
    return macs;
}

QStringList SimSite::SerialDevicePaths() const {
    QStringList paths;
    for (const SimSerialDevice* device : SerialDevices)
        paths.append(device->PortPath());
    return paths;
}

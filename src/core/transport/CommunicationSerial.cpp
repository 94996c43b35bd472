// The serial carrier of CommunicationClass: port selection and opening, batching of received
// bytes, and hand-over of the frames found in each batch.
#include "core/app/DebugLog.h"
#include "core/transport/CommunicationClass.h"
#include "core/transport/SerialFrameParser.h"

#include <QSerialPortInfo>
#include <QTimer>

namespace {

QString TwoHexDigits(int byte) {
    return QStringLiteral("%1").arg(byte, 2, 16, QLatin1Char('0')).toUpper();
}

} // namespace

QStringList CommunicationClass::SerialPortList() const {
    QStringList ports;
    const QList<QSerialPortInfo> available = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo& info : available)
        ports.append(info.systemLocation());
    ports.append(ExtraSerialPorts);
    ports.removeDuplicates();
    ports.sort();
    return ports;
}

QString CommunicationClass::SerialOpenErrorText(const QString& path, QSerialPort::SerialPortError error,
                                                const QString& systemText) {
    switch (error) {
    case QSerialPort::PermissionError:
        return QStringLiteral("Permission denied opening serial port %1. Serial ports belong to the dialout "
                              "group: add your user to it (sudo usermod -aG dialout $USER), then log out and "
                              "in again.")
            .arg(path);
    case QSerialPort::DeviceNotFoundError:
        return QStringLiteral("Serial port %1 does not exist.").arg(path);
    default:
        return QStringLiteral("Serial port %1 could not be opened: %2").arg(path, systemText);
    }
}

bool CommunicationClass::OpenSerial(int n) {
    const QStringList ports = SerialPortList();
    if (n < 1 || n > ports.size()) {
        WriteLog(QStringLiteral("Open SerialData ERROR"));
        Q_EMIT serialError(QStringLiteral("There is no serial port COM%1.").arg(n));
        return false;
    }
    return OpenSerialPath(ports.at(n - 1));
}

bool CommunicationClass::OpenSerialPath(const QString& path) {
    if (SerialPort->isOpen() && SerialPath == path)
        return true;
    CloseSerial();

    SerialPort->setPortName(path);
    SerialPort->setBaudRate(SERIAL_BAUD_RATE);
    SerialPort->setDataBits(QSerialPort::Data8);
    SerialPort->setParity(QSerialPort::NoParity);
    SerialPort->setStopBits(QSerialPort::OneStop);
    SerialPort->setFlowControl(QSerialPort::NoFlowControl);
    if (!SerialPort->open(QIODevice::ReadWrite)) {
        const QString text = SerialOpenErrorText(path, SerialPort->error(), SerialPort->errorString());
        SerialPort->clearError();
        WriteLog(QStringLiteral("Open SerialData ERROR"));
        WriteLog(text);
        Q_EMIT serialError(text);
        return false;
    }
    SerialPath = path;
    Q_EMIT serialOpened(path);
    return true;
}

void CommunicationClass::CloseSerial() {
    SerialBatchTimer->stop();
    SerialBatch = SerialBatchBuffer{}; // bytes of the old port must not be parsed as the new one's
    if (SerialPort->isOpen())
        SerialPort->close();
    SerialPath.clear();
}

bool CommunicationClass::IsSerialOpen() const {
    return SerialPort->isOpen();
}

QString CommunicationClass::SerialPortPath() const {
    return SerialPath;
}

bool CommunicationClass::SendSerial(const QByteArray& bytes) {
    WriteLog(QStringLiteral("Send Serial. Len: ") + QString::number(bytes.size()) +
             QStringLiteral(". Data: ") + BytesToHexText(bytes));
    if (!SerialPort->isOpen() || SerialPort->write(bytes) != bytes.size()) {
        WriteLog(QStringLiteral("Send SerialData ERROR"));
        return false;
    }
    return true;
}

void CommunicationClass::OnSerialReadyRead() {
    const qint64 available = SerialPort->bytesAvailable();
    if (available <= 0)
        return;
    QByteArray bytes(available, Qt::Uninitialized);
    const qint64 got = SerialPort->read(bytes.data(), available);
    if (got < 0) {
        WriteLog(QStringLiteral("SerialData ERROR"));
        return;
    }
    bytes.truncate(got);
    const QList<QByteArray> fullBatches = SerialBatch.Append(bytes);
    for (const QByteArray& batch : fullBatches)
        ParseSerialBatch(batch);
    if (SerialBatch.Waiting() && !SerialBatchTimer->isActive())
        SerialBatchTimer->start();
}

void CommunicationClass::OnSerialTick() {
    if (const std::optional<QByteArray> batch = SerialBatch.Tick())
        ParseSerialBatch(*batch);
    if (!SerialBatch.Waiting())
        SerialBatchTimer->stop();
}

void CommunicationClass::OnSerialError(QSerialPort::SerialPortError error) {
    // Errors of opening are reported by OpenSerialPath; these come while the port is in use.
    switch (error) {
    case QSerialPort::ReadError:
    case QSerialPort::ResourceError: {
        const QString text = QStringLiteral("Serial port %1: %2").arg(SerialPath, SerialPort->errorString());
        WriteLog(QStringLiteral("SerialData ERROR"));
        SerialPort->clearError();
        // The device is gone (unplugged); keeping the port open would only repeat the error.
        if (error == QSerialPort::ResourceError)
            CloseSerial();
        Q_EMIT serialError(text);
        break;
    }
    case QSerialPort::WriteError: {
        const QString text = QStringLiteral("Serial port %1: %2").arg(SerialPath, SerialPort->errorString());
        WriteLog(QStringLiteral("Send SerialData ERROR"));
        SerialPort->clearError();
        Q_EMIT serialError(text);
        break;
    }
    default:
        break;
    }
}

void CommunicationClass::ParseSerialBatch(const QByteArray& batch) {
    WriteLog(QStringLiteral("In SerialData (") + QString::number(batch.size()) + QStringLiteral("): ") +
             BytesToHexText(batch));
    const QList<SerialFrameItem> items = SerialFrameParser::Parse(batch);
    for (const SerialFrameItem& item : items) {
        switch (item.Type) {
        case SerialFrameItem::Kind::TextLine:
            WriteLog(QStringLiteral("Parse Serial Debug (Pos:") + QString::number(item.Position) +
                     QStringLiteral(". Length:") + QString::number(item.LookedAt) + QStringLiteral("): ") +
                     item.Text);
            Q_EMIT serialTextLine(item.Text);
            break;
        case SerialFrameItem::Kind::Poll:
            WriteLog(QStringLiteral("Parse Serial Poll: ") +
                     (item.PollByte >= 0 ? TwoHexDigits(item.PollByte) : QString()));
            SendSerial(SERIAL_POLL_ANSWER);
            break;
        case SerialFrameItem::Kind::Reply:
            WriteLog(QStringLiteral("Parse Serial ConfigReply: ") + TwoHexDigits(item.ItemType) +
                     QStringLiteral(". Offset: ") + QString::number(item.Position));
            Q_EMIT serialFrameReceived(item.Frame);
            break;
        case SerialFrameItem::Kind::CutOff:
            WriteLog(QStringLiteral("Parse Serial ConfigReply cut off. Offset: ") +
                     QString::number(item.Position) + QStringLiteral(". Bytes left: ") +
                     QString::number(batch.size() - item.Position));
            break;
        }
    }
}

#include "sim/SimSerialDevice.h"

#include "core/protocol/ByteReader.h"
#include "core/protocol/MacText.h"
#include "sim/SimJsonFields.h"
#include "sim/SimRecorder.h"
#include "sim/SimSerialItems.h"

#include <QSocketNotifier>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

using namespace SimSerialItems;

namespace {

constexpr quint8 FRAME_READ = 0x11;
constexpr quint8 FRAME_WRITE = 0x10;
constexpr quint8 FRAME_REPLY = 0x12;
constexpr quint8 FRAME_ACTION = 0x13;
constexpr quint8 FRAME_REBOOT = 0x14;
constexpr quint8 FRAME_RESET = 0x15;
constexpr quint8 FRAME_TEXT = 0x3E; // '>'
constexpr quint8 FRAME_POLL = 0xEE;

constexpr quint8 ACTION_STATUS = 0x01;
constexpr quint8 ACTION_FIND_REPEATER = 0x02;
constexpr quint8 ACTION_OUTPUT_1 = 0x5D;
constexpr quint8 ACTION_OUTPUT_2 = 0x5E;

// No item carries more than 16 bytes and no text command is long; anything beyond these is
// not a frame of ours.
constexpr int MAX_TEXT_COMMAND = 256;
constexpr int MAX_INPUT_BUFFER = 4096;
constexpr int MAX_OUTPUT_BUFFER = 65536;

constexpr int DEFAULT_POLL_MS = 5000;
constexpr int DEFAULT_TEXT_MS = 3000;
constexpr qint64 SEARCH_MS = 8000; // looking for a new parent takes this long

// Length a write of this item must have; 0 for items the device does not take.
int WriteLength(quint8 item) {
    switch (item) {
    case 2:
    case 10:
        return 2;
    case 3:
    case 5:
    case 6:
        return 1;
    case 7:
        return 8;
    case 11:
        return 16;
    default:
        return item >= 80 && item <= 92 ? 1 : 0;
    }
}

} // namespace

SimSerialDevice::SimSerialDevice(QObject* parent) : QObject(parent) {
    Items.insert(ITEM_MAC, QByteArray::fromHex("050001B237514F02"));
    SetHardwareType(5);
    PollTimer.setInterval(DEFAULT_POLL_MS);
    TextTimer.setInterval(DEFAULT_TEXT_MS);
    FrameTimer.setSingleShot(true);
    FrameTimer.setInterval(FRAME_TIMEOUT_MS);
    connect(&PollTimer, &QTimer::timeout, this, &SimSerialDevice::OnPollTimer);
    connect(&TextTimer, &QTimer::timeout, this, &SimSerialDevice::OnTextTimer);
    // The line went quiet with a frame still open: its rest is not coming, so take what whole
    // frames follow it and drop every fragment at once.
    connect(&FrameTimer, &QTimer::timeout, this, [this] { ParseInput(true); });
    Clock.start();
}

SimSerialDevice::~SimSerialDevice() {
    Close();
}

bool SimSerialDevice::Open(QString* error) {
    if (IsOpen())
        return true;
    char name[256] = {};
    int master = -1;
    int slave = -1;
    if (::openpty(&master, &slave, name, nullptr, nullptr) != 0) {
        SimSetError(error, QStringLiteral("Cannot create a pseudo-terminal: %1")
                               .arg(QString::fromLocal8Bit(strerror(errno))));
        return false;
    }
    // Raw bytes both ways, at the device's line speed.
    termios settings{};
    if (::tcgetattr(slave, &settings) == 0) {
        ::cfmakeraw(&settings);
        ::cfsetispeed(&settings, B115200);
        ::cfsetospeed(&settings, B115200);
        ::tcsetattr(slave, TCSANOW, &settings);
    }
    ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
    ::fcntl(master, F_SETFD, FD_CLOEXEC);
    ::fcntl(slave, F_SETFD, FD_CLOEXEC);
    MasterFd = master;
    SlaveFd = slave;
    SlavePath = QString::fromLocal8Bit(name);
    ReadNotifier = new QSocketNotifier(MasterFd, QSocketNotifier::Read, this);
    connect(ReadNotifier, &QSocketNotifier::activated, this, &SimSerialDevice::OnMasterReadable);
    WriteNotifier = new QSocketNotifier(MasterFd, QSocketNotifier::Write, this);
    WriteNotifier->setEnabled(false);
    connect(WriteNotifier, &QSocketNotifier::activated, this, &SimSerialDevice::OnMasterWritable);
    if (PollTimer.interval() > 0)
        PollTimer.start();
    if (TextTimer.interval() > 0)
        TextTimer.start();
    LastContactMs = Clock.elapsed();
    return true;
}

void SimSerialDevice::Close() {
    PollTimer.stop();
    TextTimer.stop();
    FrameTimer.stop();
    delete ReadNotifier;
    ReadNotifier = nullptr;
    delete WriteNotifier;
    WriteNotifier = nullptr;
    if (MasterFd >= 0)
        ::close(MasterFd);
    if (SlaveFd >= 0)
        ::close(SlaveFd);
    MasterFd = SlaveFd = -1;
    InputBuffer.clear();
    OutputBuffer.clear();
}

void SimSerialDevice::SetPollInterval(int ms) {
    PollTimer.setInterval(qMax(0, ms));
    if (ms > 0 && IsOpen())
        PollTimer.start();
    else
        PollTimer.stop();
}

void SimSerialDevice::SetTextInterval(int ms) {
    TextTimer.setInterval(qMax(0, ms));
    if (ms > 0 && IsOpen())
        TextTimer.start();
    else
        TextTimer.stop();
}

QByteArray SimSerialDevice::EncodeReplyFrame(quint8 item, const QByteArray& value) {
    const QByteArray bounded = value.left(0xFFFF);
    QByteArray frame;
    frame.append(char(FRAME_REPLY));
    frame.append(char(item));
    frame.append(Le(quint32(bounded.size()), 2));
    frame.append(bounded);
    quint8 check = 0;
    for (const char byte : frame)
        check = static_cast<quint8>(check + quint8(byte));
    frame.append(char(check));
    return frame;
}

void SimSerialDevice::SendPoll() {
    UpdateLiveItems();
    QByteArray poll;
    poll.append(char(FRAME_POLL));
    poll.append(char(PollCounter++));
    poll.append(Items.value(ITEM_RADIO_STATUS, QByteArray(1, '\0')).left(1));
    poll.append(Items.value(ITEM_EVENTS, QByteArray(1, '\0')).left(1));
    poll.append(Items.value(ITEM_SIGNAL, QByteArray(1, '\0')).left(1));
    Send(poll);
}

void SimSerialDevice::SendTextLine(const QString& text) {
    QByteArray line = text.toLatin1();
    line.replace('\n', ' ');
    Send(' ' + line + '\n');
}

void SimSerialDevice::OnPollTimer() {
    SendPoll();
}

void SimSerialDevice::OnTextTimer() {
    UpdateLiveItems();
    ++TextCounter;
    const qint8 signal = static_cast<qint8>(Items.value(ITEM_SIGNAL, QByteArray(1, '\0')).at(0));
    const quint32 parent = LeNumber(Items.value(ITEM_PARENT_NWK));
    if (SearchUntilMs >= 0) {
        SendTextLine(QStringLiteral("[%1] RADIO: searching for parent, channel %2")
                         .arg(Clock.elapsed() / 1000)
                         .arg(LeNumber(Items.value(ITEM_CHANNEL))));
        return;
    }
    SendTextLine(QStringLiteral("[%1] RADIO: rssi %2 dBm, parent %3, resends %4")
                     .arg(Clock.elapsed() / 1000)
                     .arg(signal)
                     .arg(parent, 4, 16, QLatin1Char('0'))
                     .arg(LeNumber(Items.value(ITEM_RETRANSMISSIONS))));
}

void SimSerialDevice::OnMasterReadable() {
    char chunk[1024];
    for (;;) {
        const ssize_t count = ::read(MasterFd, chunk, sizeof chunk);
        if (count <= 0)
            break;
        InputBuffer.append(chunk, count);
    }
    if (InputBuffer.size() > MAX_INPUT_BUFFER)
        InputBuffer.remove(0, InputBuffer.size() - MAX_INPUT_BUFFER);
    ParseInput();
}

qsizetype SimSerialDevice::FrameLength() const {
    ByteReader reader(InputBuffer);
    const quint8 first = reader.readU8();
    switch (first) {
    case FRAME_READ:
    case FRAME_REBOOT:
    case FRAME_RESET:
        return InputBuffer.size() >= 4 ? 4 : 0;
    case FRAME_WRITE:
    case FRAME_ACTION: {
        reader.skip(1);
        const quint16 length = reader.readU16LE();
        if (!reader.ok())
            return 0;
        if (length > MAX_FRAME_VALUE)
            return -1;
        return InputBuffer.size() >= 4 + length ? 4 + length : 0;
    }
    case FRAME_TEXT: {
        const qsizetype end = InputBuffer.indexOf('\r');
        const qsizetype lineFeed = InputBuffer.indexOf('\n');
        const qsizetype stop = end < 0 ? lineFeed : (lineFeed < 0 ? end : qMin(end, lineFeed));
        if (stop >= 0 && stop <= MAX_TEXT_COMMAND)
            return stop + 1;
        return InputBuffer.size() > MAX_TEXT_COMMAND ? -1 : 0;
    }
    default:
        return -1;
    }
}

void SimSerialDevice::ParseInput(bool lineQuiet) {
    while (!InputBuffer.isEmpty()) {
        const qsizetype length = FrameLength();
        if (length < 0 || (length == 0 && lineQuiet)) {
            InputBuffer.remove(0, 1); // not the start of a frame, or one that will never end
            continue;
        }
        if (length == 0) {
            FrameTimer.start();
            return;
        }
        const QByteArray frame = InputBuffer.left(length);
        InputBuffer.remove(0, length);
        HandleFrame(frame);
    }
    FrameTimer.stop();
}

void SimSerialDevice::HandleFrame(const QByteArray& frame) {
    if (Recorder != nullptr)
        Recorder->record(SimRecord::Received, SlavePath, QStringLiteral("serial"), SlavePath, frame);
    ByteReader reader(frame);
    const quint8 kind = reader.readU8();
    const quint8 item = reader.readU8();
    switch (kind) {
    case FRAME_READ:
        if (const std::optional<QByteArray> value = ItemValue(item))
            Send(EncodeReplyFrame(item, *value));
        break;
    case FRAME_WRITE:
    case FRAME_ACTION: {
        const quint16 length = reader.readU16LE();
        const QByteArray value = reader.readBytes(length);
        if (!reader.ok())
            break;
        if (kind == FRAME_WRITE)
            HandleWrite(item, value);
        else
            HandleAction(item, value);
        break;
    }
    case FRAME_REBOOT:
        ++RebootCount;
        LastContactMs = Clock.elapsed();
        SendTextLine(QStringLiteral("Reboot requested"));
        SendTextLine(QStringLiteral("Q7 device start, hardware %1").arg(Hardware));
        break;
    case FRAME_RESET:
        ++ResetCount;
        if (item == 0x01) {
            ResetSettings();
            SendTextLine(QStringLiteral("Settings erased"));
        } else {
            // Leaves the network and joins again.
            SearchUntilMs = Clock.elapsed() + SEARCH_MS;
            Items.insert(ITEM_RADIO_STATUS, Le(RADIO_SEARCHING, 1));
            Items.insert(ITEM_PARENT_NWK, Le(0, 2));
            Items.insert(ITEM_PARENT_MAC, QByteArray(8, '\0'));
            SendTextLine(QStringLiteral("Network status erased"));
        }
        break;
    case FRAME_TEXT:
        HandleText(frame.mid(1));
        break;
    default:
        break;
    }
    Q_EMIT FrameReceived(frame);
}

void SimSerialDevice::HandleWrite(quint8 item, const QByteArray& value) {
    const int length = WriteLength(item);
    // A device takes only the items it has, at their own length.
    if (length == 0 || value.size() != length || !Items.contains(item))
        return;
    Items.insert(item, value);
}

void SimSerialDevice::HandleAction(quint8 action, const QByteArray& value) {
    switch (action) {
    case ACTION_STATUS:
        // While searching the tool asks for the radio status this way instead of reading items.
        Send(EncodeReplyFrame(ITEM_RADIO_STATUS, ItemValue(ITEM_RADIO_STATUS).value_or(QByteArray(1, '\0'))));
        break;
    case ACTION_FIND_REPEATER:
        SearchUntilMs = Clock.elapsed() + SEARCH_MS;
        Items.insert(ITEM_RADIO_STATUS, Le(RADIO_SEARCHING, 1));
        SendTextLine(QStringLiteral("RADIO: looking for a new parent"));
        break;
    case ACTION_OUTPUT_1:
    case ACTION_OUTPUT_2: {
        if (KindOf(Hardware) != KIND_MINI || value.isEmpty())
            break;
        const quint8 bit = action == ACTION_OUTPUT_1 ? 0x04 : 0x08;
        quint8 events = static_cast<quint8>(LeNumber(Items.value(ITEM_EVENTS)));
        events = value.at(0) != 0 ? (events | bit) : (events & ~bit);
        Items.insert(ITEM_EVENTS, Le(events, 1));
        break;
    }
    default:
        break;
    }
}

void SimSerialDevice::HandleText(const QByteArray& text) {
    QByteArray command = text;
    while (!command.isEmpty() && (command.endsWith('\r') || command.endsWith('\n')))
        command.chop(1);
    ReceivedTexts.append(command);
    SendTextLine(QStringLiteral("> ") + QString::fromLatin1(command));
    SendTextLine(command.isEmpty() ? QStringLiteral("Q7 debug console") : QStringLiteral("OK"));
}

void SimSerialDevice::Send(const QByteArray& bytes) {
    if (!IsOpen())
        return;
    if (Recorder != nullptr)
        Recorder->record(SimRecord::Sent, SlavePath, QStringLiteral("serial"), SlavePath, bytes);
    // Nobody is reading the port: a real device's bytes would be lost on the line as well.
    if (OutputBuffer.size() + bytes.size() > MAX_OUTPUT_BUFFER)
        return;
    OutputBuffer.append(bytes);
    OnMasterWritable();
}

void SimSerialDevice::OnMasterWritable() {
    while (!OutputBuffer.isEmpty()) {
        const ssize_t written = ::write(MasterFd, OutputBuffer.constData(), size_t(OutputBuffer.size()));
        if (written <= 0)
            break;
        OutputBuffer.remove(0, written);
    }
    if (WriteNotifier != nullptr)
        WriteNotifier->setEnabled(!OutputBuffer.isEmpty());
}

#include "sim/SimSerialDevice.h"

#include "sim/SimRecorder.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QJsonDocument>
#include <QRandomGenerator>
#include <QSerialPort>
#include <QThread>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <termios.h>
#include <unistd.h>

namespace {

QByteArray Hex(const char* text) {
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

// The tool's side of the cable: the pty slave opened raw, as a serial port would be.
class PortSide {
public:
    explicit PortSide(const QString& path) {
        Fd = ::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (Fd >= 0) {
            termios settings{};
            ::tcgetattr(Fd, &settings);
            ::cfmakeraw(&settings);
            ::tcsetattr(Fd, TCSANOW, &settings);
        }
    }
    ~PortSide() {
        if (Fd >= 0)
            ::close(Fd);
    }
    bool ok() const { return Fd >= 0; }

    void write(const QByteArray& bytes) {
        ASSERT_EQ(::write(Fd, bytes.constData(), size_t(bytes.size())), bytes.size());
    }

    // Lets the device's event loop run until count bytes arrived or two seconds passed.
    QByteArray read(qsizetype count) {
        QDeadlineTimer deadline(2000);
        while (Buffer.size() < count && !deadline.hasExpired()) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
            char chunk[512];
            const ssize_t n = ::read(Fd, chunk, sizeof chunk);
            if (n > 0)
                Buffer.append(chunk, n);
            else
                QThread::msleep(1);
        }
        const QByteArray taken = Buffer.left(count);
        Buffer.remove(0, taken.size());
        return taken;
    }

    // Runs the event loop for a while and returns whatever arrived.
    QByteArray drain(int ms) {
        QDeadlineTimer deadline(ms);
        while (!deadline.hasExpired()) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
            char chunk[512];
            const ssize_t n = ::read(Fd, chunk, sizeof chunk);
            if (n > 0)
                Buffer.append(chunk, n);
            else
                QThread::msleep(1);
        }
        const QByteArray taken = Buffer;
        Buffer.clear();
        return taken;
    }

    // One reply frame: 12, item, length (LE), value, check byte.
    QByteArray readReply() {
        const QByteArray head = read(4);
        if (head.size() < 4)
            return head;
        const int length = quint8(head[2]) | (quint8(head[3]) << 8);
        return head + read(length + 1);
    }

private:
    int Fd = -1;
    QByteArray Buffer;
};

class SimSerialDeviceTest : public ::testing::Test {
protected:
    void SetUp() override {
        Device.SetPollInterval(0);
        Device.SetTextInterval(0);
        QString error;
        ASSERT_TRUE(Device.Open(&error)) << error.toStdString();
        Port = std::make_unique<PortSide>(Device.PortPath());
        ASSERT_TRUE(Port->ok());
    }

    QByteArray ReadItem(quint8 item) {
        QByteArray request = Hex("11 00 00 00");
        request[1] = char(item);
        Port->write(request);
        return Port->readReply();
    }

    SimSerialDevice Device;
    std::unique_ptr<PortSide> Port;
};

} // namespace

TEST(SimSerialFrames, ReplyFramesOfItemsTwoAndThree) {
    // Poll time 60 (3C 00) and a transmit power of 10 dBm sent as 10 + 10 = 0x14.
    EXPECT_EQ(SimSerialDevice::EncodeReplyFrame(2, Hex("3C00")), Hex("12 02 0200 3C00 52"));
    EXPECT_EQ(SimSerialDevice::EncodeReplyFrame(3, Hex("14")), Hex("12 03 0100 14 2A"));
    EXPECT_EQ(SimSerialDevice::EncodeReplyFrame(1, Hex("0102030405060708")),
              Hex("12 01 0800 0102030405060708 3F"));
}

TEST(SimSerialFrames, MacTextIsTheIdentityBytesLastToFirst) {
    SimSerialDevice device;
    device.SetMac(Hex("0102030405060708"));
    EXPECT_EQ(device.MacText(), QStringLiteral("08 07 06 05 04 03 02 01"));
}

TEST_F(SimSerialDeviceTest, AnswersIdentityAndEveryItemOfTheMiniReadSequence) {
    Port->write(Hex("11 01 00 00"));
    const QByteArray identity = Port->readReply();
    EXPECT_EQ(identity, SimSerialDevice::EncodeReplyFrame(1, Device.Mac()));
    ASSERT_EQ(identity.size(), 13);

    const QByteArray firmware = ReadItem(9);
    ASSERT_GE(firmware.size(), 7);
    EXPECT_EQ(quint8(firmware[4 + 1]), 5) << "the hardware type the tool takes the device kind from";

    const quint8 sequence[] = {7,  2, 3, 80, 81, 82, 83, 84, 85, 86, 89, 90, 91,
                               92, 4, 8, 12, 13, 14, 18, 19, 15, 16, 20, 87, 88};
    for (const quint8 item : sequence) {
        const QByteArray reply = ReadItem(item);
        ASSERT_GE(reply.size(), 5) << int(item);
        EXPECT_EQ(quint8(reply[0]), 0x12);
        EXPECT_EQ(quint8(reply[1]), item);
        EXPECT_GE(reply.size(), 6) << "every item carries a value";
    }
    EXPECT_EQ(ReadItem(2), Hex("12 02 0200 3C00 52"));
    EXPECT_EQ(ReadItem(3), Hex("12 03 0100 14 2A"));
    // An item the device does not have gets no reply.
    Port->write(Hex("11 42 00 00"));
    EXPECT_TRUE(Port->drain(100).isEmpty());
}

TEST_F(SimSerialDeviceTest, WritesAndCommandsAreApplied) {
    Port->write(Hex("10 02 0200 7800"));
    EXPECT_EQ(ReadItem(2), SimSerialDevice::EncodeReplyFrame(2, Hex("7800")));
    Port->write(Hex("10 03 0200 1400")); // wrong length for the item: ignored
    Port->write(Hex("10 04 0100 10"));   // the signal strength is not writable
    EXPECT_EQ(ReadItem(3), Hex("12 03 0100 14 2A"));
    EXPECT_EQ(ReadItem(4), SimSerialDevice::EncodeReplyFrame(4, *Device.ItemValue(4)));

    Port->write(Hex("13 5D 0100 01")); // output 1 on
    EXPECT_EQ(ReadItem(15), SimSerialDevice::EncodeReplyFrame(15, Hex("05")));
    Port->write(Hex("13 5D 0100 00"));
    EXPECT_EQ(ReadItem(15), SimSerialDevice::EncodeReplyFrame(15, Hex("01")));

    Port->write(Hex("14 00 00 00"));
    EXPECT_FALSE(Port->drain(100).isEmpty()) << "a reboot prints its banner";
    EXPECT_EQ(Device.Reboots(), 1);

    Port->write(Hex("15 01 00 00")); // factory settings
    Port->drain(50);
    EXPECT_EQ(ReadItem(2), Hex("12 02 0200 3C00 52"));

    Port->write(Hex("15 00 00 00")); // leave the network
    Port->drain(50);
    Port->write(Hex("13 01 00 00")); // the tool's status poll while the radio status is 10 or more
    const QByteArray status = Port->readReply();
    ASSERT_EQ(status.size(), 6);
    EXPECT_EQ(quint8(status[1]), 14);
    EXPECT_GE(quint8(status[4]), 10);

    Port->write(QByteArray(">ver\r"));
    const QByteArray text = Port->drain(100);
    EXPECT_TRUE(text.startsWith(' '));
    EXPECT_TRUE(text.endsWith('\n'));
    EXPECT_EQ(Device.TextCommands(), QList<QByteArray>{"ver"});
}

TEST_F(SimSerialDeviceTest, PollAndTextLineArriveOnTheirOwn) {
    Device.SetPollInterval(30);
    const QByteArray poll = Port->read(5);
    ASSERT_EQ(poll.size(), 5);
    EXPECT_EQ(quint8(poll[0]), 0xEE);
    Device.SetPollInterval(0);
    Port->drain(60);

    Device.SetTextInterval(30);
    QByteArray line;
    for (int i = 0; i < 200 && !line.endsWith('\n'); ++i)
        line += Port->read(1);
    Device.SetTextInterval(0);
    ASSERT_FALSE(line.isEmpty());
    EXPECT_EQ(line.at(0), ' ');
    EXPECT_TRUE(line.endsWith('\n'));
    EXPECT_FALSE(line.mid(1).chopped(1).contains('\n'));
}

TEST_F(SimSerialDeviceTest, GarbageAndCutFramesNeverStopTheDevice) {
    SimRecorder recorder;
    Device.SetRecorder(&recorder);
    const QList<QByteArray> inputs = {
        Hex("FF 00 7E 12 EE"),                  // bytes that start no frame
        Hex("11 02"),                           // a read cut in half
        Hex("10 02 4000 01"),                   // a write whose length lies
        Hex("13 5D FFFF"),                      // an action with an absurd length
        QByteArray(">") + QByteArray(300, 'x'), // a text command without its end
        Hex("10 02 0200"),                      // a write cut before its value
    };
    for (const QByteArray& input : inputs) {
        Port->write(input);
        Port->drain(SimSerialDevice::FRAME_TIMEOUT_MS * 2);
        // The next whole frame is still answered.
        EXPECT_EQ(ReadItem(1), SimSerialDevice::EncodeReplyFrame(1, Device.Mac()))
            << input.toHex(' ').constData();
    }
    EXPECT_EQ(ReadItem(2), Hex("12 02 0200 3C00 52")) << "no partial write was applied";
    const QList<SimRecord> received = recorder.received();
    ASSERT_FALSE(received.isEmpty());
    EXPECT_EQ(received.last().Bytes, Hex("11 02 00 00"));
    EXPECT_EQ(received.last().Carrier, QStringLiteral("serial"));
    EXPECT_EQ(recorder.sent().last().Bytes, Hex("12 02 0200 3C00 52"));
}

TEST(SimSerialDevice, JsonDescribesTheDevice) {
    SimSerialDevice device;
    QString error;
    ASSERT_TRUE(device.LoadJson(QJsonDocument::fromJson(R"({"Hardware":1,"Mac":"0102030405060708",
        "Items":{"2":"1E00"},"PollIntervalMs":1000,"TextIntervalMs":0})")
                                    .object(),
                                &error))
        << error.toStdString();
    EXPECT_EQ(device.HardwareType(), 1);
    EXPECT_EQ(device.MacText(), QStringLiteral("08 07 06 05 04 03 02 01"));
    EXPECT_EQ(device.ItemValue(2), Hex("1E00"));
    EXPECT_TRUE(device.ItemValue(17)) << "a detector reports its temperature";
    EXPECT_FALSE(device.ItemValue(80)) << "but has no mini settings";
    EXPECT_EQ(quint8(device.ItemValue(9)->at(1)), 1);

    SimSerialDevice copy;
    ASSERT_TRUE(copy.LoadJson(device.ToJson(), &error)) << error.toStdString();
    EXPECT_EQ(copy.ToJson(), device.ToJson());

    EXPECT_FALSE(device.LoadJson(QJsonDocument::fromJson(R"({"Mac":"0102"})").object(), &error));
    EXPECT_FALSE(device.LoadJson(QJsonDocument::fromJson(R"({"Items":{"300":"00"}})").object(), &error));
    EXPECT_FALSE(device.LoadJson(QJsonDocument::fromJson(R"({"PollIntervalMs":-5})").object(), &error));
}

TEST_F(SimSerialDeviceTest, RandomBytesLeaveTheDeviceAnswering) {
    QRandomGenerator random(7);
    for (int burst = 0; burst < 20; ++burst) {
        QByteArray bytes(1 + random.bounded(200), '\0');
        for (char& byte : bytes) {
            // Mostly frame starts, so the parser meets many lying headers.
            static const char starts[] = {0x10, 0x11, 0x13, 0x14, 0x15, 0x3E, 0x12, char(0xEE)};
            byte = random.bounded(3) == 0 ? starts[random.bounded(int(std::size(starts)))]
                                          : char(random.bounded(256));
        }
        Port->write(bytes);
    }
    Port->drain(SimSerialDevice::FRAME_TIMEOUT_MS * 3);
    EXPECT_EQ(ReadItem(1), SimSerialDevice::EncodeReplyFrame(1, Device.Mac()));
}

TEST(SimSerialDevice, SerialPortOfTheToolTalksToIt) {
    SimSerialDevice device;
    device.SetPollInterval(0);
    device.SetTextInterval(0);
    QString error;
    ASSERT_TRUE(device.Open(&error)) << error.toStdString();
    QSerialPort port(device.PortPath());
    port.setBaudRate(115200);
    ASSERT_TRUE(port.open(QIODevice::ReadWrite)) << port.errorString().toStdString();
    port.write(Hex("11 01 00 00"));
    QByteArray reply;
    QDeadlineTimer deadline(2000);
    while (reply.size() < 13 && !deadline.hasExpired()) {
        // Both the device and the port read on notifiers of this one event loop.
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        reply += port.readAll();
        QThread::msleep(1);
    }
    EXPECT_EQ(reply, SimSerialDevice::EncodeReplyFrame(1, device.Mac()));
}

#include "core/app/DebugLog.h"
#include "core/transport/AsOrdinaryUser.h"
#include "core/transport/CommunicationClass.h"
#include "support/TempHome.h"

#include <QSignalSpy>
#include <QTest>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A serial device on a pseudo-terminal pair: the transport opens the slave side by its path,
// the test plays the device on the master side.
class SerialTest : public ::testing::Test {
protected:
    void SetUp() override {
        char name[256] = {};
        ASSERT_EQ(openpty(&Master, &Slave, name, nullptr, nullptr), 0);
        fcntl(Master, F_SETFL, fcntl(Master, F_GETFL) | O_NONBLOCK);
        SlavePath = QString::fromLocal8Bit(name);
        Comm = std::make_unique<CommunicationClass>();
        Comm->SetExtraSerialPorts({SlavePath});
    }

    void TearDown() override {
        Comm.reset(); // the port closes before the device goes away
        if (Slave >= 0)
            close(Slave);
        close(Master);
    }

    void OpenPort() {
        const QStringList ports = Comm->SerialPortList();
        const int n = static_cast<int>(ports.indexOf(SlavePath)) + 1;
        ASSERT_GT(n, 0);
        QSignalSpy opened(Comm.get(), &CommunicationClass::serialOpened);
        ASSERT_TRUE(Comm->OpenSerial(n));
        EXPECT_EQ(opened.size(), 1);
        EXPECT_EQ(Comm->SerialPortPath(), SlavePath);
        // The port holds the slave open now; the test's own copy is no longer needed.
        close(Slave);
        Slave = -1;
    }

    void DeviceSends(const QByteArray& bytes) {
        ASSERT_EQ(write(Master, bytes.constData(), bytes.size()), bytes.size());
    }

    // Everything the transport wrote to the device, once at least count bytes have come.
    QByteArray DeviceReads(qsizetype count) {
        QByteArray got;
        const bool complete = QTest::qWaitFor([&] {
            char buffer[256];
            const ssize_t n = read(Master, buffer, sizeof buffer);
            if (n > 0)
                got.append(buffer, n);
            return got.size() >= count;
        });
        EXPECT_TRUE(complete) << "the device got " << got.size() << " of " << count << " bytes";
        return got;
    }

    LogCapture Log;
    int Master = -1;
    int Slave = -1;
    QString SlavePath;
    std::unique_ptr<CommunicationClass> Comm;
};

} // namespace

TEST_F(SerialTest, TextLinePollAndReplyFromOneBurst) {
    OpenPort();
    QSignalSpy lines(Comm.get(), &CommunicationClass::serialTextLine);
    QSignalSpy frames(Comm.get(), &CommunicationClass::serialFrameReceived);

    const QByteArray burst = QByteArray(" hello\r\n") + QByteArray::fromHex("EE01000000") +
                             QByteArray::fromHex("1201080001020304050607"
                                                 "0800");
    DeviceSends(burst);

    EXPECT_EQ(DeviceReads(4), QByteArray::fromHex("11040000"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return frames.size() >= 1; }));
    ASSERT_EQ(lines.size(), 1);
    EXPECT_EQ(lines.at(0).at(0).toString(), QStringLiteral("hello"));
    EXPECT_EQ(frames.at(0).at(0).toByteArray(), QByteArray::fromHex("01080001020304050607"
                                                                    "08"));

    EXPECT_TRUE(
        Log.contains(QStringLiteral("In SerialData (%1): %2").arg(burst.size()).arg(BytesToHexText(burst))));
    EXPECT_TRUE(Log.contains(QStringLiteral("Parse Serial Debug (Pos:0. Length:6): hello")));
    EXPECT_TRUE(Log.contains(QStringLiteral("Parse Serial Poll: 01")));
    EXPECT_TRUE(Log.contains(QStringLiteral("Send Serial. Len: 4. Data: 11 04 00 00 ")));
    EXPECT_TRUE(Log.contains(QStringLiteral("Parse Serial ConfigReply: 01. Offset: 13")));
}

TEST_F(SerialTest, ALyingReplyLengthEndsTheBatch) {
    OpenPort();
    QSignalSpy frames(Comm.get(), &CommunicationClass::serialFrameReceived);
    DeviceSends(QByteArray::fromHex("1201FFFF0102"
                                    "EE01000000"));
    ASSERT_TRUE(QTest::qWaitFor([&] {
        return Log.contains(QStringLiteral("Parse Serial ConfigReply cut off. Offset: 0. Bytes left: 11"));
    }));
    EXPECT_EQ(frames.size(), 0);
    // The poll behind the lying frame is not parsed, so it is not answered.
    EXPECT_FALSE(Log.contains(QStringLiteral("Parse Serial Poll: 01")));
}

TEST_F(SerialTest, SendsToTheDevice) {
    OpenPort();
    const QByteArray identity = QByteArray::fromHex("11010000");
    EXPECT_TRUE(Comm->SendSerial(identity));
    EXPECT_EQ(DeviceReads(4), identity);
    EXPECT_TRUE(Log.contains(QStringLiteral("Send Serial. Len: 4. Data: 11 01 00 00 ")));

    // Opening the same port again keeps it; closing it makes sends fail.
    EXPECT_TRUE(Comm->OpenSerialPath(SlavePath));
    Comm->CloseSerial();
    EXPECT_FALSE(Comm->IsSerialOpen());
    EXPECT_FALSE(Comm->SendSerial(identity));
    EXPECT_TRUE(Log.contains(QStringLiteral("Send SerialData ERROR")));
}

TEST_F(SerialTest, PortsThatCannotBeOpenedAreReported) {
    QSignalSpy errors(Comm.get(), &CommunicationClass::serialError);
    EXPECT_FALSE(Comm->OpenSerialPath(QStringLiteral("/dev/no-such-serial-port")));
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors.at(0).at(0).toString().contains(QStringLiteral("/dev/no-such-serial-port")));
    EXPECT_TRUE(Log.contains(QStringLiteral("Open SerialData ERROR")));

    EXPECT_FALSE(Comm->OpenSerial(static_cast<int>(Comm->SerialPortList().size()) + 1));
    EXPECT_EQ(errors.size(), 2);
    EXPECT_FALSE(Comm->IsSerialOpen());
}

TEST_F(SerialTest, APermissionProblemNamesTheDialoutGroup) {
    if (geteuid() == 0) {
        const int status = RerunAsOrdinaryUser("SerialTest.APermissionProblemNamesTheDialoutGroup");
        if (status < 0)
            GTEST_SKIP() << "cannot run the tests as an ordinary user";
        EXPECT_EQ(status, 0);
        return;
    }
    // A port its user may not open, like a tty of the dialout group for a user outside it.
    ASSERT_EQ(fchmod(Slave, 0), 0);
    QSignalSpy errors(Comm.get(), &CommunicationClass::serialError);
    EXPECT_FALSE(Comm->OpenSerialPath(SlavePath));
    ASSERT_EQ(errors.size(), 1);
    const QString text = errors.at(0).at(0).toString();
    EXPECT_TRUE(text.contains(QStringLiteral("dialout"))) << text.toStdString();
    EXPECT_TRUE(text.contains(SlavePath)) << text.toStdString();
    EXPECT_TRUE(Log.contains(QStringLiteral("Open SerialData ERROR")));
}

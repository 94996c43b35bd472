#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QJsonObject>
#include <QMap>
#include <QObject>
#include <QString>
#include <QTimer>
#include <optional>

class QSocketNotifier;
class SimRecorder;

// A wireless device on a serial cable, simulated on a pseudo-terminal. The tool opens the slave
// side (PortPath(), /dev/pts/N) like any serial port; the device reads and writes the master.
//
// It answers read frames (11 item 00 00) with one reply frame of that item (12 item len-LE value
// check), takes writes (10), actions (13), reboot (14), reset (15) and ">" text commands, and on
// its own sends a poll (EE and four bytes) and a text line (a space first, LF last) every few
// seconds. Bytes that make no frame are skipped; a frame left incomplete for a moment is
// dropped, so a cut frame never blocks the ones after it.
class SimSerialDevice : public QObject {
    Q_OBJECT
public:
    // Item types (the first byte after 0x11 / 0x10 / 0x12).
    static constexpr quint8 ITEM_MAC = 1;
    static constexpr quint8 ITEM_POLL_TIME = 2;
    static constexpr quint8 ITEM_TX_POWER = 3;
    static constexpr quint8 ITEM_SIGNAL = 4;
    static constexpr quint8 ITEM_EXTENDED_PANID = 7;
    static constexpr quint8 ITEM_CHANNEL = 8;
    static constexpr quint8 ITEM_FIRMWARE = 9;
    static constexpr quint8 ITEM_TC_LINK_KEY = 11;
    static constexpr quint8 ITEM_RETRANSMISSIONS = 12;
    static constexpr quint8 ITEM_LAST_CONTACT = 13;
    static constexpr quint8 ITEM_RADIO_STATUS = 14;
    static constexpr quint8 ITEM_EVENTS = 15;
    static constexpr quint8 ITEM_PARENT_MAC = 18;
    static constexpr quint8 ITEM_PARENT_NWK = 19;

    // Radio status: joined to a parent, or searching for one (the tool then polls with an action
    // frame instead of reading the retransmissions).
    static constexpr quint8 RADIO_JOINED = 5;
    static constexpr quint8 RADIO_SEARCHING = 12;

    // Quiet time after which an incomplete frame is dropped.
    static constexpr int FRAME_TIMEOUT_MS = 200;

    explicit SimSerialDevice(QObject* parent = nullptr);
    ~SimSerialDevice() override;

    // Creates the pty and starts the poll and text timers; PortPath() then names the slave. The
    // slave stays open on this side as long as the device is open, so the tool may open and
    // close it at will.
    bool Open(QString* error);
    void Close();
    bool IsOpen() const { return MasterFd >= 0; }
    QString PortPath() const { return SlavePath; }
    void SetRecorder(SimRecorder* recorder) { Recorder = recorder; }

    // Identity and item values. SetHardwareType also rewrites the firmware item (its second
    // byte is the hardware type) and the item set of that kind of device.
    void SetHardwareType(quint8 hw);
    quint8 HardwareType() const { return Hardware; }
    void SetMac(const QByteArray& mac); // 8 bytes as sent in the identity reply
    QByteArray Mac() const { return Items.value(ITEM_MAC); }
    QString MacText() const; // as the tool shows it: last byte first, joined by spaces
    void SetItemValue(quint8 item, const QByteArray& value);
    std::optional<QByteArray> ItemValue(quint8 item) const; // the value a read would get now

    // Intervals of the unsolicited poll and text line in milliseconds; 0 switches one off.
    void SetPollInterval(int ms);
    void SetTextInterval(int ms);
    void SendPoll();
    void SendTextLine(const QString& text); // sent as a space, the text, LF

    // Counters of commands taken (tests and the site's log).
    int Reboots() const { return RebootCount; }
    int Resets() const { return ResetCount; }
    QList<QByteArray> TextCommands() const { return ReceivedTexts; }

    // The reply frame of one item: 12, item, length (LE), value, and a check byte (8-bit sum of
    // the bytes before it).
    static QByteArray EncodeReplyFrame(quint8 item, const QByteArray& value);

    QJsonObject ToJson() const;
    // Applies a site-file description (hardware, MAC, item values, intervals) to this device.
    bool LoadJson(const QJsonObject& json, QString* error);

Q_SIGNALS:
    // One whole frame taken from the tool (after it was applied).
    void FrameReceived(const QByteArray& frame);

private:
    void OnMasterReadable();
    void OnMasterWritable();
    void OnPollTimer();
    void OnTextTimer();
    // Handles the whole frames at the start of the input. While more bytes may come an incomplete
    // frame waits for them; once the line has been quiet (lineQuiet) it is dropped.
    void ParseInput(bool lineQuiet = false);
    // Length of the frame at the start of InputBuffer: > 0 complete, 0 incomplete, -1 not a frame.
    qsizetype FrameLength() const;
    void HandleFrame(const QByteArray& frame);
    void HandleWrite(quint8 item, const QByteArray& value);
    void HandleAction(quint8 action, const QByteArray& value);
    void HandleText(const QByteArray& text);
    void ResetSettings();
    void Send(const QByteArray& bytes);
    // Brings the values that change with time (signal, contacts, a parent search) up to now.
    void UpdateLiveItems() const;

    int MasterFd = -1;
    int SlaveFd = -1;
    QString SlavePath;
    QSocketNotifier* ReadNotifier = nullptr;
    QSocketNotifier* WriteNotifier = nullptr;
    QByteArray InputBuffer;
    QByteArray OutputBuffer;
    QTimer PollTimer;
    QTimer TextTimer;
    QTimer FrameTimer; // drops an incomplete frame after FRAME_TIMEOUT_MS of silence
    QElapsedTimer Clock;
    mutable qint64 LastContactMs = 0;
    SimRecorder* Recorder = nullptr;

    quint8 Hardware = 5;
    mutable QMap<quint8, QByteArray> Items; // live values are brought up to date on reading
    quint8 PollCounter = 0;
    quint32 TextCounter = 0;
    int RebootCount = 0;
    int ResetCount = 0;
    QList<QByteArray> ReceivedTexts;
    mutable qint64 SearchUntilMs = -1; // while searching for a new parent
};

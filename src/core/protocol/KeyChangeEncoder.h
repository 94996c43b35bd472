#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>

class ConfigEnvelopeClass;

// One value the user changed: what the settings view (or the command line) hands over for
// "Send New Settings".
struct KeyChange {
    quint16 KeyId = 0;
    // The editor's text: "Yes"/"No", an option index, "192.168.1.20", "01:30:05", a number, text.
    QString ValueText;
    // The key's type code from the key table; it decides how the text is encoded.
    int RawType = 0;
    // For the input keys 151-169: the address of the input the editor belongs to. Empty otherwise.
    QString InputAddress;
};

// Why a change set was not sent: the first value that did not convert.
struct KeyChangeRefusal {
    quint16 KeyId = 0;
    QString ValueText;
    QString Reason; // plain words, for a message box or stderr
};

struct KeyChangeResult {
    // Set when nothing was sent because a value was refused (or the unit is unknown).
    std::optional<KeyChangeRefusal> Refusal;
    // The write packets, in sending order. Empty when refused.
    QList<QByteArray> Packets;

    bool Ok() const { return !Refusal.has_value(); }
};

// Turns a set of changed values into write packets. Every value is converted before anything is
// built, so a value that does not convert leaves nothing sent and the caller's editors untouched.
// A set that does not fit one key-change packet is spread over several, each complete on its own:
// it carries the password entry, and every input key in it is preceded by its input's selector.
class KeyChangeEncoder {
public:
    static constexpr quint16 INPUT_SELECTOR_KEY = 0x0096;
    static constexpr int FIRST_INPUT_KEY = 151;
    static constexpr int LAST_INPUT_KEY = 169;

    // The value bytes of one change by its raw type. False, with the reason, when the text does not
    // convert. Types: 1 Yes/No (one byte), 2 option index (one byte), 3 dotted IPv4 (four bytes),
    // 5 "HH:MM:SS" (seconds, two bytes), 8-11 number (two bytes), 0/4/6 text (one byte a character).
    static bool EncodeValue(int rawType, const QString& text, QByteArray& value, QString& reason);

    // The key entry of one change (without its input selector), or nothing with the reason.
    static std::optional<QByteArray> EncodeKeyEntry(const KeyChange& change, QString& reason);

    // Entry 0x0096 that makes the unit apply the following input keys to one input.
    static QByteArray InputSelectorEntry(const QString& address);

    // "TComboBox", "TEdit", "TMemo" or "TMaskEdit": the editor kind of a raw type, as the change
    // log lines name it.
    static QString EditorKindOf(int rawType);

    // Validates every change, then builds the write packets for the MAC and password in
    // key-change buffers, using the envelope's packet counter. lastInputAddress is the handler's
    // "last input address": emptied at the start of every packet, left at the last selector written.
    // An empty change set still gives one packet holding only the password entry.
    static KeyChangeResult BuildPackets(ConfigEnvelopeClass& envelope, const QString& macText,
                                        const QString& password, const QList<KeyChange>& changes,
                                        QString& lastInputAddress);

private:
    static bool EncodeIpDots(const QString& text, QByteArray& value, QString& reason);
    static bool EncodeDuration(const QString& text, QByteArray& value, QString& reason);
    static bool ParseInteger(const QString& text, int& number);
};

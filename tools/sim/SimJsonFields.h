#pragma once

#include <QByteArray>
#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>
#include <limits>
#include <type_traits>

// Reads the fields of one site-file object with a sticky error: the first bad field is
// remembered (with its name and the object's context) and later reads change nothing, so a
// loader reads every field and asks once at the end. A missing field keeps its default.
class SimJsonFields {
public:
    SimJsonFields(const QJsonObject& object, const QString& context) : Object(object), Context(context) {}

    template <typename T> void Number(const char* name, T& out) {
        static_assert(std::is_integral_v<T>);
        const QJsonValue value = Object.value(QLatin1String(name));
        if (!Ok() || value.isUndefined())
            return;
        const double number = value.toDouble(std::numeric_limits<double>::quiet_NaN());
        if (!value.isDouble() || number != static_cast<double>(static_cast<qint64>(number)) ||
            number < static_cast<double>(std::numeric_limits<T>::min()) ||
            number > static_cast<double>(std::numeric_limits<T>::max())) {
            Fail(name, QStringLiteral("a whole number from %1 to %2")
                           .arg(static_cast<qint64>(std::numeric_limits<T>::min()))
                           .arg(static_cast<qint64>(std::numeric_limits<T>::max())));
            return;
        }
        out = static_cast<T>(number);
    }
    // A 16-bit number written as hexadecimal text ("1A2B").
    void Hex16(const char* name, quint16& out);
    // Exactly count bytes written as 2 * count hexadecimal digits; separators " ", "-", ":" allowed.
    void HexBytes(const char* name, int count, QByteArray& out);
    void Text(const char* name, QString& out);
    // Text stored as Latin-1 bytes (wire text is one byte per character).
    void Latin1(const char* name, QByteArray& out);
    QJsonArray Array(const char* name);

    bool Ok() const { return Error.isEmpty(); }
    // True when every field read well; otherwise fills *error (when given) and returns false.
    bool Finish(QString* error) const;

private:
    void Fail(const char* name, const QString& expected);

    QJsonObject Object;
    QString Context;
    QString Error;
};

QString SimHex16(quint16 value);              // "1A2B"
QString SimHexBytes(const QByteArray& bytes); // "00112233AABBCCDD"
// Parses hexadecimal digits, ignoring " ", "-" and ":"; false on any other character or an odd count.
bool SimParseHex(const QString& text, QByteArray& out);
// Reports an error the way the loaders do (does nothing when error is null).
void SimSetError(QString* error, const QString& text);

#include "sim/SimJsonFields.h"

void SimJsonFields::Fail(const char* name, const QString& expected) {
    if (Error.isEmpty())
        Error = QStringLiteral("%1: field \"%2\" must be %3").arg(Context, QLatin1String(name), expected);
}

void SimJsonFields::Hex16(const char* name, quint16& out) {
    const QJsonValue value = Object.value(QLatin1String(name));
    if (!Ok() || value.isUndefined())
        return;
    bool converted = false;
    const uint number = value.toString().toUInt(&converted, 16);
    if (!value.isString() || !converted || number > 0xFFFF) {
        Fail(name, QStringLiteral("a hexadecimal text of at most four digits"));
        return;
    }
    out = static_cast<quint16>(number);
}

void SimJsonFields::HexBytes(const char* name, int count, QByteArray& out) {
    const QJsonValue value = Object.value(QLatin1String(name));
    if (!Ok() || value.isUndefined())
        return;
    QByteArray bytes;
    if (!value.isString() || !SimParseHex(value.toString(), bytes) || bytes.size() != count) {
        Fail(name, QStringLiteral("%1 hexadecimal digits").arg(2 * count));
        return;
    }
    out = bytes;
}

void SimJsonFields::Text(const char* name, QString& out) {
    const QJsonValue value = Object.value(QLatin1String(name));
    if (!Ok() || value.isUndefined())
        return;
    if (!value.isString()) {
        Fail(name, QStringLiteral("a text"));
        return;
    }
    out = value.toString();
}

void SimJsonFields::Latin1(const char* name, QByteArray& out) {
    QString text = QString::fromLatin1(out);
    Text(name, text);
    if (Ok())
        out = text.toLatin1();
}

QJsonArray SimJsonFields::Array(const char* name) {
    const QJsonValue value = Object.value(QLatin1String(name));
    if (!Ok() || value.isUndefined())
        return {};
    if (!value.isArray()) {
        Fail(name, QStringLiteral("an array"));
        return {};
    }
    return value.toArray();
}

bool SimJsonFields::Finish(QString* error) const {
    if (Ok())
        return true;
    SimSetError(error, Error);
    return false;
}

QString SimHex16(quint16 value) {
    return QStringLiteral("%1").arg(value, 4, 16, QLatin1Char('0')).toUpper();
}

QString SimHexBytes(const QByteArray& bytes) {
    return QString::fromLatin1(bytes.toHex().toUpper());
}

bool SimParseHex(const QString& text, QByteArray& out) {
    QByteArray digits;
    for (const QChar c : text) {
        if (c == QLatin1Char(' ') || c == QLatin1Char('-') || c == QLatin1Char(':'))
            continue;
        const char ch = c.unicode() < 0x80 ? c.toLatin1() : '\0';
        const bool hexDigit =
            (ch >= '0' && ch <= '9') || (ch >= 'a' && ch <= 'f') || (ch >= 'A' && ch <= 'F');
        if (!hexDigit)
            return false;
        digits.append(c.toLatin1());
    }
    if (digits.size() % 2 != 0)
        return false;
    out = QByteArray::fromHex(digits);
    return true;
}

void SimSetError(QString* error, const QString& text) {
    if (error != nullptr)
        *error = text;
}

#include "cli/CliOutput.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

void CliOutput::addRow(const QStringList& values) {
    QStringList row = values;
    while (row.size() < Columns.size())
        row.append(QString());
    Rows.append(row.mid(0, Columns.size()));
}

QByteArray CliOutput::toJson() const {
    QJsonArray array;
    for (const QStringList& row : Rows) {
        QJsonObject object;
        for (qsizetype i = 0; i < Columns.size(); ++i)
            object.insert(Columns[i], row[i]);
        array.append(object);
    }
    return QJsonDocument(array).toJson(QJsonDocument::Indented);
}

namespace {
// Control characters from a unit would break the table's lines; show them escaped instead.
QString Printable(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        if (c == QLatin1Char('\n'))
            out += QStringLiteral("\\n");
        else if (c == QLatin1Char('\r'))
            out += QStringLiteral("\\r");
        else if (c == QLatin1Char('\t'))
            out += QStringLiteral("\\t");
        else if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            out += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
        else
            out += c;
    }
    return out;
}
} // namespace

QByteArray CliOutput::toText() const {
    QList<QStringList> cells;
    cells.append(Columns);
    for (const QStringList& row : Rows) {
        QStringList printable;
        for (const QString& value : row)
            printable.append(Printable(value));
        cells.append(printable);
    }
    QList<qsizetype> widths(Columns.size(), 0);
    for (const QStringList& row : cells)
        for (qsizetype i = 0; i < row.size(); ++i)
            widths[i] = std::max(widths[i], row[i].size());

    QString text;
    for (const QStringList& row : cells) {
        QString line;
        for (qsizetype i = 0; i < row.size(); ++i) {
            if (i + 1 < row.size())
                line += row[i].leftJustified(widths[i]) + QStringLiteral("  ");
            else
                line += row[i];
        }
        text += line + QLatin1Char('\n');
    }
    return text.toUtf8();
}

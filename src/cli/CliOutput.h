#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

// Rows of named columns, printed either as aligned text for a person or as one JSON document
// (an array of objects whose members are the column names, every value a text) for a script.
class CliOutput {
public:
    explicit CliOutput(QStringList columns) : Columns(std::move(columns)) {}

    void addRow(const QStringList& values);
    qsizetype rowCount() const { return Rows.size(); }
    const QStringList& columns() const { return Columns; }
    const QList<QStringList>& rows() const { return Rows; }

    QByteArray toJson() const;
    // Columns padded to their widest cell; the last column is not padded.
    QByteArray toText() const;

private:
    QStringList Columns;
    QList<QStringList> Rows;
};

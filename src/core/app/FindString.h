#pragma once

#include <QByteArray>
#include <QString>

// 1-based position of the first match of pattern in text, or 0. Only matches lying wholly
// between the 1-based positions first and last count; when either is 0 the whole text is
// searched, and last is cut to the text's length. A "*" in the pattern matches any one
// character. An empty pattern matches nothing. Impossible arguments (a negative position) log
// "FindString Error" and give 0.
int FindString(const QString& text, const QString& pattern, int first = 0, int last = 0);

// The byte form: 0-based index of the first byte of the first match of pattern in data at or
// after from, or -1 when there is none. A "*" in the pattern matches any byte. An empty pattern
// matches nothing.
qsizetype FindBytes(const QByteArray& data, const QByteArray& pattern, qsizetype from = 0);

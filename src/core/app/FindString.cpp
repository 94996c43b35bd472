#include "core/app/FindString.h"

#include "core/app/DebugLog.h"

namespace {

constexpr char16_t WILDCARD = u'*';

bool MatchesAt(const QString& text, qsizetype index, const QString& pattern) {
    for (qsizetype j = 0; j < pattern.size(); ++j) {
        const QChar p = pattern.at(j);
        if (p.unicode() != WILDCARD && p != text.at(index + j))
            return false;
    }
    return true;
}

bool BytesMatchAt(const QByteArray& data, qsizetype index, const QByteArray& pattern) {
    for (qsizetype j = 0; j < pattern.size(); ++j) {
        const char p = pattern.at(j);
        if (p != '*' && p != data.at(index + j))
            return false;
    }
    return true;
}

} // namespace

int FindString(const QString& text, const QString& pattern, int first, int last) {
    if (first < 0 || last < 0) {
        WriteLog(QStringLiteral("FindString Error"));
        return 0;
    }
    if (first == 0 || last == 0) {
        first = 1;
        last = static_cast<int>(text.size());
    } else if (last > text.size()) {
        last = static_cast<int>(text.size());
    }
    if (pattern.isEmpty())
        return 0;

    // 1-based start positions whose match still ends at or before last.
    const qsizetype lastStart = qsizetype(last) - pattern.size() + 1;
    for (qsizetype start = first; start <= lastStart; ++start) {
        if (MatchesAt(text, start - 1, pattern))
            return static_cast<int>(start);
    }
    return 0;
}

qsizetype FindBytes(const QByteArray& data, const QByteArray& pattern, qsizetype from) {
    if (pattern.isEmpty() || from < 0)
        return -1;
    for (qsizetype index = from; index + pattern.size() <= data.size(); ++index) {
        if (BytesMatchAt(data, index, pattern))
            return index;
    }
    return -1;
}

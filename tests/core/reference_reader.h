#pragma once

#include "storage/error.h"
#include "storage/windows1252.h"

#include <QByteArray>
#include <QString>

#include <cstdint>

namespace glimmerset::test {

// The field reader's grammar as the plainest loop over bytes held whole, one
// byte at a time: what the streaming reader, with its chunks and its fast
// paths, must always agree with.
class ReferenceReader {
public:
    explicit ReferenceReader(QByteArray bytes) : bytes_(std::move(bytes)) {}

    bool atEnd() const { return at_ >= bytes_.size(); }
    int lineNumber() const { return line_; }

    QString readText() { return windows1252::decode(readField()); }

    // Throws Error for the end of the text and for a number outside 16 bits.
    std::int16_t readNumber() {
        const QByteArray field = readField();
        qsizetype i = 0;
        while (i < field.size() && (field[i] == ' ' || field[i] == '\t'))
            ++i;
        bool negative = false;
        if (i < field.size() && (field[i] == '-' || field[i] == '+'))
            negative = field[i++] == '-';
        long value = 0;
        for (; i < field.size() && field[i] >= '0' && field[i] <= '9'; ++i) {
            value = value * 10 + (field[i] - '0');
            if (value > 40000)
                throw Error(QStringLiteral("out of range"));
        }
        if (negative)
            value = -value;
        if (value < -32768 || value > 32767)
            throw Error(QStringLiteral("out of range"));
        return std::int16_t(value);
    }

private:
    bool isBlank(qsizetype i) const { return bytes_[i] == ' ' || bytes_[i] == '\t'; }
    bool isLineEnd(qsizetype i) const { return bytes_[i] == '\r' || bytes_[i] == '\n'; }
    bool more() const { return at_ < bytes_.size(); }

    QByteArray readField() {
        if (atEnd())
            throw Error(QStringLiteral("at the end"));
        while (more() && isBlank(at_))
            ++at_;
        QByteArray field;
        if (more() && bytes_[at_] == '"') {
            const qsizetype start = ++at_;
            while (more() && bytes_[at_] != '"' && !isLineEnd(at_))
                ++at_;
            field = bytes_.mid(start, at_ - start);
            if (more() && bytes_[at_] == '"') {
                ++at_;
                while (more() && bytes_[at_] != ',' && !isLineEnd(at_))
                    ++at_;
            }
        } else {
            const qsizetype start = at_;
            while (more() && bytes_[at_] != ',' && !isLineEnd(at_))
                ++at_;
            qsizetype end = at_;
            while (end > start && isBlank(end - 1))
                --end;
            field = bytes_.mid(start, end - start);
        }
        if (more()) {
            const char end = bytes_[at_++];
            if (end != ',')
                ++line_;
            if (end == '\r' && more() && bytes_[at_] == '\n')
                ++at_;
        }
        return field;
    }

    QByteArray bytes_;
    qsizetype at_ = 0;
    int line_ = 1;
};

} // namespace glimmerset::test

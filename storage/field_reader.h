#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <memory>

class QIODevice;

namespace glimmerset {

// Hands out a text file as fields: a field ends at a comma, a line end (CR LF,
// lone CR or lone LF) or the end of the file. Blanks before a field and after
// an unquoted one are dropped; a field opening with a double quote runs to the
// closing quote or the line end, whichever comes first. Streams: a file is
// never held whole. Every failure throws Error naming the file and the line.
class FieldReader {
public:
    // Throws Error when path, symlinks followed, is not a regular file or
    // can't be opened for reading. Never waits on a FIFO.
    static FieldReader openFile(const QString &path);
    // The process's standard input, named so in messages.
    static FieldReader openStandardInput();
    // The size of each read from the device.
    static constexpr qsizetype kChunkSize = 64 * 1024;

    // Bytes already read from path, named in messages as openFile names it.
    static FieldReader fromFileBytes(const QByteArray &bytes, const QString &path);
    // For tests and fuzzers; displayName stands in for the path in messages.
    // A small chunkSize puts fields across reads without megabytes of input.
    static FieldReader fromBytes(const QByteArray &bytes,
                                 const QString &displayName = QStringLiteral("(memory)"),
                                 qsizetype chunkSize = kChunkSize);

    FieldReader(FieldReader &&) noexcept;
    FieldReader &operator=(FieldReader &&) noexcept;
    ~FieldReader();

    bool atEnd() { return pos_ >= size_ && !fill(); }
    // Both throw Error at the end of the file; readNumber also for a value
    // outside -32768..32767. A field without a number reads as 0; field, when
    // given, gets the field's bytes, valid until the next read.
    QString readText();
    std::int16_t readNumber(QByteArrayView *field = nullptr);
    // readText's field appended to out; out is left as it was when the read fails.
    void appendText(QString &out);
    void close();

    // The file's size in bytes where the device knows it, else 0: a hint for
    // reserving, never a promise.
    qint64 sizeHint() const;

    QString displayName() const { return displayName_; }
    // "file", line N: what, as every message about the file reads.
    QString message(int line, const QString &what) const;
    int lineNumber() const { return line_; }

private:
    FieldReader(std::unique_ptr<QIODevice> device, QString displayName,
                qsizetype chunkSize = kChunkSize);
    // The next field's bytes, valid until the next read; the field's end is consumed.
    QByteArrayView readField();
    bool takeBufferedField(QByteArrayView &field);
    QByteArrayView readFieldAcrossReads();
    qsizetype findStop(char stop);
    void keepField(QByteArrayView &field);
    bool fill();
    [[noreturn]] void fail(const QString &what) const;
    [[noreturn]] void failAt(int line, const QString &what) const;
    [[noreturn]] void failTooLong() const;

    std::unique_ptr<QIODevice> device_;
    QString displayName_;
    std::unique_ptr<char[]> buffer_;
    qsizetype chunkSize_;
    qsizetype size_ = 0; // bytes in buffer_
    qsizetype pos_ = 0;
    QByteArray spill_; // a field that crosses a chunk's end, or has to outlive one
    QString text_;     // the last field readText handed out
    int line_ = 1;
};

} // namespace glimmerset

#include "storage/field_reader.h"

#include "storage/error.h"
#include "storage/regular_file.h"
#include "storage/windows1252.h"

#include <QBuffer>
#include <QFile>

namespace glimmerset {

namespace {

constexpr qint64 kChunkSize = 64 * 1024;

bool isBlank(int c) { return c == ' ' || c == '\t'; }
bool isLineEnd(int c) { return c == '\r' || c == '\n'; }

} // namespace

FieldReader::FieldReader(std::unique_ptr<QIODevice> device, QString displayName)
    : device_(std::move(device)), displayName_(std::move(displayName)) {}

FieldReader::FieldReader(FieldReader &&) noexcept = default;
FieldReader &FieldReader::operator=(FieldReader &&) noexcept = default;
FieldReader::~FieldReader() = default;

FieldReader FieldReader::openFile(const QString &path) {
    return FieldReader(openRegularFileForReading(path), QStringLiteral("\"%1\"").arg(path));
}

FieldReader FieldReader::fromBytes(const QByteArray &bytes, const QString &displayName) {
    auto buffer = std::make_unique<QBuffer>();
    buffer->setData(bytes);
    buffer->open(QIODevice::ReadOnly);
    return FieldReader(std::move(buffer), displayName);
}

void FieldReader::fail(const QString &what) const {
    throw Error(QStringLiteral("%1, line %2: %3").arg(displayName_).arg(line_).arg(what));
}

bool FieldReader::fill() {
    if (pos_ < buffer_.size())
        return true;
    if (!device_ || !device_->isOpen())
        return false;
    buffer_.resize(kChunkSize);
    const qint64 n = device_->read(buffer_.data(), kChunkSize);
    if (n < 0)
        fail(QStringLiteral("can't read the file: %1.").arg(device_->errorString()));
    buffer_.resize(n);
    pos_ = 0;
    return n > 0;
}

int FieldReader::peekByte() { return fill() ? static_cast<unsigned char>(buffer_[pos_]) : -1; }

int FieldReader::takeByte() {
    const int c = peekByte();
    if (c >= 0)
        ++pos_;
    return c;
}

bool FieldReader::atEnd() { return peekByte() < 0; }

// Copies the buffered bytes up to stop or a line end in one go.
void FieldReader::appendRunUntil(QByteArray &field, char stop) {
    const qsizetype start = pos_;
    while (pos_ < buffer_.size()) {
        const char b = buffer_[pos_];
        if (b == stop || b == '\r' || b == '\n')
            break;
        ++pos_;
    }
    field.append(buffer_.constData() + start, pos_ - start);
}

QByteArray FieldReader::readFieldBytes() {
    if (atEnd())
        fail(QStringLiteral("the file ends where more was expected."));
    while (isBlank(peekByte()))
        takeByte();

    QByteArray field;
    bool quoted = false;
    if (peekByte() == '"') {
        takeByte();
        quoted = true;
        int c;
        // A line end closes a quote left open, so one stray quote can't swallow the file.
        while ((c = peekByte()) >= 0 && c != '"' && !isLineEnd(c))
            appendRunUntil(field, '"');
        if (c == '"') {
            takeByte();
            // Text between the closing quote and the field's end is dropped.
            while ((c = peekByte()) >= 0 && c != ',' && !isLineEnd(c))
                takeByte();
        }
    } else {
        int c;
        while ((c = peekByte()) >= 0 && c != ',' && !isLineEnd(c))
            appendRunUntil(field, ',');
    }
    if (!quoted) {
        qsizetype end = field.size();
        while (end > 0 && isBlank(field[end - 1]))
            --end;
        field.truncate(end);
    }

    const int terminator = takeByte();
    if (terminator == '\r') {
        if (peekByte() == '\n')
            takeByte();
        ++line_;
    } else if (terminator == '\n') {
        ++line_;
    }
    return field;
}

QString FieldReader::readText() { return windows1252::decode(readFieldBytes()); }

std::int16_t FieldReader::readNumber() {
    const int line = line_;
    const QByteArray field = readFieldBytes();
    qsizetype i = 0;
    while (i < field.size() && isBlank(field[i]))
        ++i;
    bool negative = false;
    if (i < field.size() && (field[i] == '-' || field[i] == '+'))
        negative = field[i++] == '-';
    long value = 0;
    for (; i < field.size() && field[i] >= '0' && field[i] <= '9'; ++i) {
        value = value * 10 + (field[i] - '0');
        if (value > 32768) {
            line_ = line;
            fail(QStringLiteral("the number %1 doesn't fit between -32768 and 32767.")
                     .arg(QString::fromLatin1(field.left(40))));
        }
    }
    if (negative)
        value = -value;
    if (value > 32767) {
        line_ = line;
        fail(QStringLiteral("the number %1 doesn't fit between -32768 and 32767.")
                 .arg(QString::fromLatin1(field)));
    }
    return static_cast<std::int16_t>(value);
}

void FieldReader::close() {
    if (device_)
        device_->close();
    buffer_.clear();
    pos_ = 0;
}

} // namespace glimmerset

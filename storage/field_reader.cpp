#include "storage/field_reader.h"

#include "storage/error.h"
#include "storage/regular_file.h"
#include "storage/windows1252.h"

#include <QBuffer>
#include <QFile>

#include <algorithm>
#include <bit>
#include <new>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace glimmerset {

namespace {

// A string handed out holds no more than this for a field of one character.
constexpr qsizetype kMaxRecycled = 256;

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

} // namespace

FieldReader::FieldReader(std::unique_ptr<QIODevice> device, QString displayName,
                         qsizetype chunkSize)
    : device_(std::move(device)), displayName_(std::move(displayName)),
      chunkSize_(std::max<qsizetype>(chunkSize, 1)) {}

FieldReader::FieldReader(FieldReader &&) noexcept = default;
FieldReader &FieldReader::operator=(FieldReader &&) noexcept = default;
FieldReader::~FieldReader() = default;

namespace {

QString fileDisplayName(const QString &path) {
    return QStringLiteral("\"%1\"").arg(path);
}

} // namespace

FieldReader FieldReader::openFile(const QString &path) {
    return FieldReader(openRegularFileForReading(path), fileDisplayName(path));
}

FieldReader FieldReader::fromFileBytes(const QByteArray &bytes, const QString &path) {
    return fromBytes(bytes, fileDisplayName(path));
}

FieldReader FieldReader::openStandardInput() {
    return FieldReader(glimmerset::openStandardInput(), QString::fromLatin1(kStandardInputName));
}

FieldReader FieldReader::fromBytes(const QByteArray &bytes, const QString &displayName,
                                   qsizetype chunkSize) {
    auto buffer = std::make_unique<QBuffer>();
    buffer->setData(bytes);
    buffer->open(QIODevice::ReadOnly);
    // Bytes in memory fit one read: a buffer past their end is only cost.
    return FieldReader(std::move(buffer), displayName,
                       std::min(chunkSize, std::max<qsizetype>(bytes.size(), 1)));
}

void FieldReader::fail(const QString &what) const {
    failAt(line_, what);
}

void FieldReader::failAt(int line, const QString &what) const {
    throw Error(message(line, what));
}

QString FieldReader::message(int line, const QString &what) const {
    return QStringLiteral("%1, line %2: %3").arg(displayName_).arg(line).arg(what);
}

bool FieldReader::fill() {
    if (pos_ < size_)
        return true;
    if (!device_ || !device_->isOpen())
        return false;
    if (!buffer_)
        buffer_.reset(new char[chunkSize_]);
    pos_ = size_ = 0; // a failed read leaves nothing stale to hand out
    const qint64 n = device_->read(buffer_.get(), chunkSize_);
    if (n < 0)
        fail(QStringLiteral("can't read the file: %1.").arg(device_->errorString()));
    size_ = n;
    return n > 0;
}

qint64 FieldReader::sizeHint() const {
    return device_ && !device_->isSequential() ? device_->size() : 0;
}

namespace {

// The first of a, b and c in [p, end), or end: sixteen bytes a step where the
// processor allows.
inline const char *findFirstOf(const char *p, const char *end, char a, char b, char c) {
#ifdef __SSE2__
    const __m128i va = _mm_set1_epi8(a), vb = _mm_set1_epi8(b), vc = _mm_set1_epi8(c);
    for (; end - p >= 16; p += 16) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
        const __m128i hits = _mm_or_si128(
            _mm_or_si128(_mm_cmpeq_epi8(x, va), _mm_cmpeq_epi8(x, vb)), _mm_cmpeq_epi8(x, vc));
        if (const int mask = _mm_movemask_epi8(hits))
            return p + std::countr_zero(static_cast<unsigned>(mask));
    }
#endif
    for (; p < end; ++p)
        if (*p == a || *p == b || *p == c)
            return p;
    return end;
}

// The first byte in [p, end) that is no blank, or end.
inline const char *skipBlanks(const char *p, const char *end) {
#ifdef __SSE2__
    const __m128i space = _mm_set1_epi8(' '), tab = _mm_set1_epi8('\t');
    for (; end - p >= 16; p += 16) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
        const int blanks =
            _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(x, space), _mm_cmpeq_epi8(x, tab)));
        if (blanks != 0xFFFF)
            return p + std::countr_one(static_cast<unsigned>(blanks));
    }
#endif
    while (p < end && isBlank(*p))
        ++p;
    return p;
}

} // namespace

// The first of stop and the line ends at or after pos_, or size_.
inline qsizetype FieldReader::findStop(char stop) {
    const char *const data = buffer_.get();
    return pos_ < size_ ? findFirstOf(data + pos_, data + size_, stop, '\r', '\n') - data : size_;
}

// Moves a field out of the buffer before the buffer is refilled under it.
void FieldReader::keepField(QByteArrayView &field) {
    if (field.data() != spill_.constData()) {
        spill_.resize(0);
        spill_.append(field.data(), field.size());
        field = spill_;
    }
}

// The common case on the buffer alone: an unquoted field whose end, and the
// byte after that, are in the buffer. False, with nothing moved, otherwise.
inline bool FieldReader::takeBufferedField(QByteArrayView &field) {
    const char *const data = buffer_.get();
    const char *const end = data + size_;
    if (pos_ >= size_)
        return false;
    const char *const first = skipBlanks(data + pos_, end);
    if (first == end || *first == '"')
        return false;
    const char *const stop = findFirstOf(first, end, ',', '\r', '\n');
    if (end - stop < 2)
        return false;
    const char *last = stop;
    while (last > first && isBlank(last[-1]))
        --last;
    field = QByteArrayView(first, last - first);
    // Without branches: which of the three ends a field is anyone's guess.
    const bool cr = *stop == '\r';
    line_ += cr | (*stop == '\n');
    pos_ = stop + 1 + (cr & (stop[1] == '\n')) - data;
    return true;
}

inline QByteArrayView FieldReader::readField() {
    if (QByteArrayView field; takeBufferedField(field))
        return field;
    return readFieldAcrossReads();
}

QByteArrayView FieldReader::readFieldAcrossReads() {
    if (atEnd())
        fail(QStringLiteral("the file ends where more was expected."));
    for (;;) {
        const char *const data = buffer_.get();
        pos_ = skipBlanks(data + pos_, data + size_) - data;
        if (pos_ < size_ || !fill())
            break;
    }

    if (!spill_.isEmpty())
        spill_.resize(0);
    const bool quoted = pos_ < size_ && buffer_[pos_] == '"';
    if (quoted)
        ++pos_;
    // A line end closes a quote left open, so one stray quote can't swallow the file.
    const char stop = quoted ? '"' : ',';
    QByteArrayView field;
    for (bool spilled = false;;) {
        const qsizetype start = pos_;
        pos_ = findStop(stop);
        const bool found = pos_ < size_;
        if (found && !spilled) {
            field = QByteArrayView(buffer_.get() + start, pos_ - start);
            break;
        }
        spill_.append(buffer_.get() + start, pos_ - start);
        spilled = true;
        if (found || !fill()) {
            field = spill_;
            break;
        }
    }
    if (quoted && pos_ < size_ && buffer_[pos_] == '"') {
        ++pos_;
        // Text between the closing quote and the field's end is dropped.
        while ((pos_ = findStop(',')) == size_) {
            keepField(field);
            if (!fill())
                break;
        }
    }
    if (!quoted) {
        const char *const begin = field.data();
        const char *end = begin + field.size();
        while (end > begin && isBlank(end[-1]))
            --end;
        field = QByteArrayView(begin, end - begin);
    }

    if (pos_ < size_) {
        const char terminator = buffer_[pos_++];
        if (terminator == '\r') {
            if (pos_ == size_)
                keepField(field);
            if (fill() && buffer_[pos_] == '\n')
                ++pos_;
            ++line_;
        } else if (terminator == '\n') {
            ++line_;
        }
    }
    return field;
}

// A file of one endless field (gigabytes without a comma or line end) ends
// here with its name and line, not as a bare allocation failure.
void FieldReader::failTooLong() const {
    fail(QStringLiteral("a field too long to hold in memory."));
}

QString FieldReader::readText() try {
    const QByteArrayView field = readField();
    if (field.isEmpty())
        return QString();
    // The string handed out last is written over once its taker has let go of
    // it, instead of one string freed and the next allocated for every field.
    if (text_.isDetached() && text_.capacity() <= kMaxRecycled)
        text_.resize(field.size());
    else
        text_ = QString(field.size(), Qt::Uninitialized);
    windows1252::decodeInto(text_.data(), field);
    return text_;
} catch (const std::bad_alloc &) {
    failTooLong();
}

void FieldReader::appendText(QString &out) try {
    windows1252::appendDecoded(out, readField());
} catch (const std::bad_alloc &) {
    failTooLong();
}

std::int16_t FieldReader::readNumber(QByteArrayView *fieldOut) {
    // The line the field began on, which its end may already have left behind.
    const int line = line_;
    QByteArrayView field;
    try {
        field = readField();
    } catch (const std::bad_alloc &) {
        failTooLong();
    }
    qsizetype i = 0;
    while (i < field.size() && isBlank(field[i]))
        ++i;
    bool negative = false;
    if (i < field.size() && (field[i] == '-' || field[i] == '+'))
        negative = field[i++] == '-';
    long value = 0;
    for (; i < field.size() && field[i] >= '0' && field[i] <= '9' && value <= 32768; ++i)
        value = value * 10 + (field[i] - '0');
    if (negative)
        value = -value;
    if (value < -32768 || value > 32767)
        failAt(line, QStringLiteral("the number %1 doesn't fit between -32768 and 32767.")
                         .arg(quoted(windows1252::decode(field))));
    if (fieldOut)
        *fieldOut = field;
    return static_cast<std::int16_t>(value);
}

void FieldReader::close() {
    if (device_)
        device_->close();
    buffer_.reset();
    spill_.clear();
    text_.clear();
    pos_ = size_ = 0;
}

} // namespace glimmerset

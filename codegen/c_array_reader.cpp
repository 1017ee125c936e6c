#include "codegen/found_rows.h"
#include "storage/error.h"

#include <QRegularExpression>
#include <QSet>

#include <algorithm>

namespace glimmerset::import {

namespace {

struct Token {
    enum Kind { Identifier, Number, Punctuation, Literal } kind;
    QStringView text; // in the source, which outlives the tokens
    int line = 0;
    QList<QStringView> comments; // between the previous token and this one

    bool is(char16_t c) const { return text.size() == 1 && text.front() == c; }
};

bool isIdentifierStart(QChar c) {
    return c.isLetter() || c == u'_';
}
bool isIdentifierPart(QChar c) {
    return c.isLetterOrNumber() || c == u'_';
}

// Tokens of C as far as arrays need them: comments kept for names, the
// preprocessor's lines and the contents of string and character literals
// passed over.
QList<Token> tokenize(const QString &text) {
    QList<Token> tokens;
    QList<QStringView> comments;
    int line = 1;
    bool lineStart = true;
    const qsizetype n = text.size();
    const auto skipTo = [&](qsizetype i, qsizetype end) {
        for (; i < end; ++i)
            line += text[i] == u'\n';
        return end;
    };
    for (qsizetype i = 0; i < n;) {
        const QChar c = text[i];
        if (c == u'\n' || c.isSpace()) {
            lineStart = lineStart || c == u'\n';
            line += c == u'\n';
            ++i;
            continue;
        }
        const QChar next = i + 1 < n ? text[i + 1] : QChar();
        if (c == u'/' && next == u'/') {
            qsizetype end = text.indexOf(u'\n', i);
            end = end < 0 ? n : end;
            comments << QStringView(text).sliced(i + 2, end - i - 2);
            i = end;
            continue;
        }
        if (c == u'/' && next == u'*') {
            qsizetype end = text.indexOf(u"*/", i + 2);
            end = end < 0 ? n : end + 2;
            comments << QStringView(text).sliced(i + 2, std::max<qsizetype>(0, end - i - 4));
            i = skipTo(i, end);
            continue;
        }
        if (c == u'#' && lineStart) {
            // A directive runs to a line end that no backslash continues.
            qsizetype end = i;
            while (end < n && !(text[end] == u'\n' && (end == 0 || text[end - 1] != u'\\')))
                ++end;
            i = skipTo(i, end);
            continue;
        }
        lineStart = false;
        Token token{Token::Punctuation, {}, line, comments};
        comments.clear();
        qsizetype end = i + 1;
        if (c == u'"' || c == u'\'') {
            while (end < n && text[end] != c && text[end] != u'\n')
                end += text[end] == u'\\' ? 2 : 1;
            end = std::min(end + 1, n);
            token.kind = Token::Literal;
        } else if (isIdentifierStart(c) || c.isDigit()) {
            while (end < n && (isIdentifierPart(text[end]) || (c.isDigit() && text[end] == u'.')))
                ++end;
            token.kind = c.isDigit() ? Token::Number : Token::Identifier;
        }
        token.text = QStringView(text).sliced(i, end - i);
        tokens << token;
        i = skipTo(i, end);
    }
    return tokens;
}

const QSet<QString> kQualifiers = {QStringLiteral("const"), QStringLiteral("static"),
                                   QStringLiteral("unsigned"), QStringLiteral("signed"),
                                   QStringLiteral("volatile")};

const QSet<QString> kByteTypes = {
    QStringLiteral("byte"),   QStringLiteral("uint8_t"),    QStringLiteral("char"),
    QStringLiteral("int8_t"), QStringLiteral("u8"),         QStringLiteral("uint8"),
    QStringLiteral("BYTE"),   QStringLiteral("prog_uchar"), QStringLiteral("prog_uint8_t"),
    QStringLiteral("uchar"),  QStringLiteral("UCHAR"),      QStringLiteral("prog_char"),
};

// How the tokens before a declarator declare it.
enum class ElementType { Bytes, Pointers, Other };

ElementType elementType(const QList<Token> &tokens, qsizetype begin, qsizetype end,
                        QString *named) {
    bool bytes = false, others = false;
    for (qsizetype i = begin; i < end; ++i) {
        if (tokens[i].is(u'*'))
            return ElementType::Pointers;
        if (tokens[i].kind != Token::Identifier)
            continue;
        const QString word = tokens[i].text.toString();
        if (kByteTypes.contains(word))
            bytes = true;
        else if (!kQualifiers.contains(word) && !word.contains(QLatin1String("PROGMEM")) &&
                 !others) {
            others = true;
            *named = word;
        }
    }
    return bytes || !others ? ElementType::Bytes : ElementType::Other;
}

// A declarator with its dimensions and attributes, up to its '=', is far
// shorter; the bound keeps "a[a[a[..." from being walked again at every a.
constexpr qsizetype kMaxDeclarator = 64;

// Glyph rows nest two deep at most; a deeper list is no glyph data, and
// walking it by recursion could end the process on hostile input.
constexpr int kMaxDepth = 4;

class ArrayParser {
public:
    explicit ArrayParser(const QList<Token> &tokens) : t_(tokens) {}

    Found run() {
        qsizetype statement = 0;
        for (i_ = 0; i_ < t_.size();) {
            if (t_[i_].is(u';') || t_[i_].is(u'{') || t_[i_].is(u'}')) {
                statement = ++i_;
                continue;
            }
            const qsizetype name = i_;
            const qsizetype open = initializerAfter(name);
            if (open < 0) {
                ++i_;
                continue;
            }
            QString typeName;
            const ElementType type =
                elementType(t_, statement, firstDeclarator(statement, name), &typeName);
            i_ = open;
            QList<Leaf> leaves;
            bool numeric = true;
            readList(leaves, numeric);
            if (type == ElementType::Other && numeric && !leaves.isEmpty())
                found_.warnings << QStringLiteral("line %1: %2 is an array of %3, not of bytes; "
                                                  "left out.")
                                       .arg(QString::number(t_[name].line), quoted(t_[name].text),
                                            typeName);
            else if (type == ElementType::Bytes && !leaves.isEmpty() && !numeric)
                found_.warnings << QStringLiteral("line %1: %2 holds more than numbers; left out.")
                                       .arg(QString::number(t_[name].line), quoted(t_[name].text));
            else if (type == ElementType::Bytes && numeric)
                add(leaves, statement, name);
        }
        return found_;
    }

private:
    struct Leaf {
        qsizetype open = 0; // the token index of its '{'
        QList<Row> rows;
    };

    // The '{' of "name [..]... attributes = {", or -1 when name starts no such thing.
    qsizetype initializerAfter(qsizetype name) const {
        if (t_[name].kind != Token::Identifier || name + 1 >= t_.size() || !t_[name + 1].is(u'['))
            return -1;
        int depth = 0;
        const qsizetype end = std::min(t_.size() - 1, name + kMaxDeclarator);
        for (qsizetype i = name + 1; i < end; ++i) {
            const Token &t = t_[i];
            if (t.is(u'[') || t.is(u'('))
                ++depth;
            else if (t.is(u']') || t.is(u')'))
                --depth;
            else if (depth == 0 && t.is(u'='))
                return t_[i + 1].is(u'{') ? i + 1 : -1;
            else if (t.is(u';') || t.is(u'{') || t.is(u'}'))
                return -1;
        }
        return -1;
    }

    // Where the statement's first declarator begins: the type ends there.
    qsizetype firstDeclarator(qsizetype statement, qsizetype name) const {
        for (qsizetype i = statement; i < name; ++i)
            if (t_[i].kind == Token::Identifier && t_[i + 1].is(u'['))
                return i;
        return name;
    }

    // A brace list from t_[i_] == '{' to its '}': lists of numbers only
    // become leaves; numeric turns false when a list holds anything else.
    void readList(QList<Leaf> &leaves, bool &numeric, int depth = 0) {
        Leaf leaf{i_, {}};
        bool nested = false;
        for (++i_; i_ < t_.size() && !t_[i_].is(u'}');) {
            if (t_[i_].is(u'{') && depth >= kMaxDepth) {
                numeric = false;
                skipList();
                continue;
            }
            if (t_[i_].is(u'{')) {
                nested = true;
                readList(leaves, numeric, depth + 1);
                continue;
            }
            if (t_[i_].is(u',')) {
                ++i_;
                continue;
            }
            // One element: an optional sign, then a number.
            const qsizetype start = i_;
            QString element;
            while (i_ < t_.size() && !t_[i_].is(u',') && !t_[i_].is(u'}') && !t_[i_].is(u'{'))
                element += t_[i_++].text;
            long value = 0;
            const bool negative = element.startsWith(u'-');
            if (parseCNumber(negative || element.startsWith(u'+') ? element.mid(1) : element,
                             value))
                leaf.rows << Row{element, negative ? -value : value, t_[start].line};
            else
                numeric = false;
        }
        ++i_;
        if (!nested && !leaf.rows.isEmpty())
            leaves << leaf;
    }

    // Past t_[i_] == '{' and its '}', whatever lies between.
    void skipList() {
        for (int open = 0; i_ < t_.size(); ++i_) {
            open += t_[i_].is(u'{') ? 1 : t_[i_].is(u'}') ? -1 : 0;
            if (open == 0) {
                ++i_;
                return;
            }
        }
    }

    void add(const QList<Leaf> &leaves, qsizetype statement, qsizetype name) {
        for (qsizetype k = 0; k < leaves.size(); ++k) {
            FoundRows array;
            array.rows = leaves[k].rows;
            array.line = t_[leaves[k].open].line;
            array.identifier =
                leaves.size() == 1
                    ? t_[name].text.toString()
                    : QStringLiteral("%1[%2]").arg(t_[name].text, QString::number(k));
            QList<QStringView> comments = t_[leaves[k].open].comments;
            if (leaves.size() == 1)
                comments += t_[statement].comments;
            for (const QStringView comment : comments)
                if ((array.name = nameFromComment(comment.toString())))
                    break;
            found_.arrays << array;
        }
    }

    const QList<Token> &t_;
    qsizetype i_ = 0;
    Found found_;
};

} // namespace

bool parseNumber(const QString &text, const QRegularExpression &pattern,
                 std::initializer_list<int> bases, long &value) {
    const auto match = pattern.match(text);
    if (!match.hasMatch() || text.size() > 40)
        return false;
    int group = 0;
    for (const int base : bases) {
        if (!match.hasCaptured(++group))
            continue;
        bool ok = false;
        value = match.captured(group).toLong(&ok, base);
        return ok;
    }
    return false;
}

bool parseCNumber(const QString &text, long &value) {
    static const QRegularExpression pattern(QStringLiteral(
        "^(?:0[xX]([0-9A-Fa-f]+)|0[bB]([01]+)|B([01]{1,8})|(0[0-7]*)|([1-9][0-9]*))[uUlL]*$"));
    return parseNumber(text, pattern, {16, 2, 2, 8, 10}, value);
}

std::optional<QString> nameFromComment(const QString &comment) {
    static const QRegularExpression pattern(QStringLiteral("^\\s*[0-7] \"(.*)\"\\s*$"));
    const auto match = pattern.match(comment);
    return match.hasMatch() ? std::optional(match.captured(1)) : std::nullopt;
}

Found readCArrays(const QString &text) {
    const QList<Token> tokens = tokenize(text);
    return ArrayParser(tokens).run();
}

Found readBareList(const QString &text) {
    // Most text is something else from its first character on: no need to
    // take it apart.
    const auto first = std::find_if(text.begin(), text.end(), [](QChar c) { return !c.isSpace(); });
    if (first == text.end() ||
        !(first->isDigit() || *first == u'{' || *first == u'B' || *first == u'/'))
        return {};
    Found found;
    FoundRows array;
    const auto close = [&] {
        if (!array.rows.isEmpty())
            found.arrays << array;
        array = FoundRows();
    };
    int depth = 0;
    for (const Token &token : tokenize(text)) {
        if (token.is(u'{') || token.is(u'}')) {
            close();
            depth += token.is(u'{') ? 1 : -1;
            if (depth < 0)
                return {};
            continue;
        }
        if (token.is(u',') || token.is(u';'))
            continue;
        long value = 0;
        if (token.kind == Token::Literal || token.kind == Token::Punctuation ||
            !parseCNumber(token.text.toString(), value))
            return {};
        if (array.rows.isEmpty())
            array.line = token.line;
        array.rows << Row{token.text.toString(), value, token.line};
    }
    close();
    return found;
}

} // namespace glimmerset::import

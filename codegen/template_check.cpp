#include "codegen/template_check.h"

#include "codegen/template_text.h"
#include "storage/error.h"
#include "storage/field_reader.h"
#include "storage/regular_file.h"
#include "storage/windows1252.h"

#include <QFile>

#include <optional>
#include <utility>

namespace glimmerset {

namespace {

struct Field {
    QString text;
    bool endsAtComma = false;
};

// What the stage makes of a line's fields: the lines it gives, the last one
// left open when the stage glues the next line to it.
QStringList stageLines(const QList<Field> &fields) {
    QStringList lines{QString()};
    for (const Field &field : fields) {
        lines.back() += field.text;
        if (beginsWithJoinPrefix(field.text))
            lines.back() += u',';
        else
            lines.append(QString());
    }
    return lines;
}

bool swallowsNextLine(const QList<Field> &fields) {
    return beginsWithJoinPrefix(fields.back().text);
}

QString quotedList(const QStringList &lines) {
    QStringList each;
    for (const QString &line : lines)
        each << quoted(line);
    if (each.size() == 1)
        return each.front();
    const QString last = each.takeLast();
    return each.join(QStringLiteral(", ")) + QStringLiteral(" and ") + last;
}

QString firstWord(const QString &field) {
    return field.section(u' ', 0, 0).section(u'\t', 0, 0);
}

QString prefixOf(const QString &field) {
    for (const QString &prefix : JOIN_PREFIXES)
        if (field.startsWith(prefix))
            return prefix;
    return {};
}

// Why the line breaks apart, or nothing when the stage gives it back whole.
QString whyBroken(const QString &line, const QList<Field> &fields) {
    if (line.trimmed().startsWith(u'"'))
        return QStringLiteral("a line that begins with a double quote is read as a quoted field "
                              "and loses its quotes");
    bool inComment = false;
    for (const Field &field : fields) {
        inComment = inComment || field.text.contains(u';');
        if (!field.endsAtComma || beginsWithJoinPrefix(field.text))
            continue;
        if (inComment)
            return QStringLiteral("a comma in a comment ends the line");
        const QString word = firstWord(field.text);
        if (word.endsWith(u':'))
            return QStringLiteral("the field begins with the label %1, so the comma ends the "
                                  "line; put the label on a line of its own")
                .arg(word.chopped(1));
        if (JOIN_PREFIXES.contains(word.toUpper()))
            return QStringLiteral("only the upper-case %1 keeps its comma").arg(word.toUpper());
        return QStringLiteral("the comma ends the line, as %1 is none of ORI STS LDS OUT LDI IN")
            .arg(word);
    }
    if (swallowsNextLine(fields))
        return QStringLiteral("the field %1 begins with %2, so the next line is joined to it")
            .arg(quoted(fields.back().text), prefixOf(fields.back().text));
    return {};
}

// The template's lines as the field reader counts them (CR LF, CR or LF).
class LineCursor {
public:
    explicit LineCursor(const QByteArray &bytes) : bytes_(bytes) {}
    QString line(int number) {
        for (; line_ < number && pos_ < bytes_.size(); ++line_) {
            while (pos_ < bytes_.size() && bytes_[pos_] != '\r' && bytes_[pos_] != '\n')
                ++pos_;
            if (pos_ < bytes_.size() && bytes_[pos_++] == '\r' && pos_ < bytes_.size() &&
                bytes_[pos_] == '\n')
                ++pos_;
        }
        qsizetype end = pos_;
        while (end < bytes_.size() && bytes_[end] != '\r' && bytes_[end] != '\n')
            ++end;
        return windows1252::decode(QByteArrayView(bytes_).sliced(pos_, end - pos_));
    }

private:
    const QByteArray &bytes_;
    qsizetype pos_ = 0;
    int line_ = 1;
};

} // namespace

QList<TemplateFinding> checkTemplateBytes(const QByteArray &bytes) {
    QList<TemplateFinding> findings;
    FieldReader reader = FieldReader::fromBytes(bytes);
    LineCursor lines(bytes);
    // A line that swallows the next waits for it to tell what it becomes.
    std::optional<std::pair<TemplateFinding, QStringList>> open;
    const auto close = [&](const QString &joined) {
        open->second.back() += joined;
        open->first.becomes = quotedList(open->second);
        findings.append(open->first);
        open.reset();
    };
    while (!reader.atEnd()) {
        const int number = reader.lineNumber();
        QList<Field> fields;
        do {
            Field field;
            field.text = reader.readText();
            field.endsAtComma = !reader.atEnd() && reader.lineNumber() == number;
            fields.append(field);
        } while (fields.back().endsAtComma);

        QStringList made = stageLines(fields);
        if (open)
            close(made.front());
        const QString text = lines.line(number);
        const QString why = whyBroken(text, fields);
        if (why.isEmpty())
            continue;
        TemplateFinding finding{number, text, {}, why};
        if (swallowsNextLine(fields)) {
            open.emplace(finding, made);
            continue;
        }
        made.removeLast(); // the empty line after the last line end
        finding.becomes = quotedList(made);
        findings.append(finding);
    }
    if (open)
        close(QString());
    return findings;
}

QList<TemplateFinding> checkTemplateFile(const QString &path) {
    const auto file = openRegularFileForReading(path);
    return checkTemplateBytes(file->readAll());
}

QString describeFinding(const QString &fileName, const TemplateFinding &finding) {
    return QStringLiteral("%1, line %2: %3 becomes %4: %5.")
        .arg(fileName, QString::number(finding.line), quoted(finding.text), finding.becomes,
             finding.why);
}

} // namespace glimmerset

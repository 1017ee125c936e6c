#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace glimmerset {

// Mnemonics of two-operand instructions whose operands the template stage
// puts back on one line after the field reader split them at the comma.
inline const QStringList JOIN_PREFIXES = {QStringLiteral("ORI"), QStringLiteral("STS"),
                                          QStringLiteral("LDS"), QStringLiteral("OUT"),
                                          QStringLiteral("LDI"), QStringLiteral("IN")};

inline constexpr const char *kMainTemplateName = "main.asm";
inline constexpr const char *kRestTemplateName = "rest.asm";
inline const QString kMainTemplateMissing = QStringLiteral("File: Main.asm doesn't exist!!!");
inline const QString kRestTemplateMissing = QStringLiteral("File: rest.asm doesn't exist!!!");

// Whether field begins with one of JOIN_PREFIXES (exact, case-sensitive).
bool beginsWithJoinPrefix(QStringView field);

struct TemplateText {
    QString text;                   // what the stage appends, up to any failure
    std::optional<QString> failure; // why reading stopped early, if it did
};

// Appends each field of the template at path to out, then "," when the field
// begins with a join prefix, else CR LF. Gives why reading stopped early, if
// it did; out keeps every field read up to there.
std::optional<QString> appendTemplateText(QString &out, const QString &path);
// The same, the file read whole into bytes on the way, for a caller that
// checks the template too and would otherwise read it twice.
std::optional<QString> appendTemplateText(QString &out, const QString &path, QByteArray &bytes);
// The same for bytes in memory, into a fresh text.
TemplateText templateTextFromBytes(const QByteArray &bytes);

} // namespace glimmerset

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

// Each field, then "," when it begins with a join prefix, else CR LF.
// A template that can't be opened gives an empty text and a failure.
TemplateText template_text(const QString &path);
// The same appended straight to out; the failure, if any, is returned.
std::optional<QString> appendTemplateText(QString &out, const QString &path);
TemplateText templateTextFromBytes(const QByteArray &bytes);

} // namespace glimmerset

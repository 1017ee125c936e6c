#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

namespace glimmerset {

// A template line that the template stage makes into other assembly than it
// holds: the field reader splits it at a comma, or the stage joins the next
// line to it.
struct TemplateFinding {
    int line = 0;    // counted from 1
    QString text;    // the line as the template holds it
    QString becomes; // what the stage makes of it, each line quoted
    QString why;
};

// Every such line of a template, in order.
QList<TemplateFinding> checkTemplateBytes(const QByteArray &bytes);
// The same for a file; throws Error naming it when it can't be read.
QList<TemplateFinding> checkTemplateFile(const QString &path);

// "rest.asm, line 12: "MOV r17,r18" becomes "MOV r17" and "r18": ..."
QString describeFinding(const QString &fileName, const TemplateFinding &finding);

} // namespace glimmerset

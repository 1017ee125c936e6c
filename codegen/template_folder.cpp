#include "codegen/template_folder.h"

#include "storage/executable_folder.h"

#include <QDir>
#include <QFileInfo>

namespace glimmerset {

QString templateSetFolder(const QString &name) {
    const QString executable = executableFolder();
    if (executable.isEmpty() || name.isEmpty() || name.contains(u'/') || name.startsWith(u'.'))
        return {};
    for (const QString &sets : {executable + QStringLiteral("/" GLIMMERSET_TEMPLATE_SETS),
                                executable + QStringLiteral("/templates")}) {
        const QString folder = QDir::cleanPath(sets + u'/' + name);
        if (QFileInfo(folder).isDir())
            return folder;
    }
    return {};
}

} // namespace glimmerset

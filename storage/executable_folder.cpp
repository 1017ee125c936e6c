#include "storage/executable_folder.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace glimmerset {

QString executableFolder() {
    return QFileInfo(QCoreApplication::applicationFilePath()).canonicalPath();
}

} // namespace glimmerset

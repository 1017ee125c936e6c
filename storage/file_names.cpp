#include "storage/file_names.h"

namespace glimmerset {

QString withExtension(const QString &name, QStringView extension) {
    return name.endsWith(extension, Qt::CaseSensitive) ? name : name + extension.toString();
}

} // namespace glimmerset

#include "app/platform.h"

namespace glimmerset {

FileDialog::FileDialog(Platform &platform, FileDialogKind kind, QString title, QString filter)
    : platform_(platform), kind_(kind), title_(std::move(title)), filter_(std::move(filter)) {}

bool FileDialog::show(QWidget *parent, const QString &addedExtension) {
    fileName_ = platform_.chooseFile(parent, kind_, title_, filter_, fileName_, addedExtension);
    return !fileName_.isEmpty();
}

} // namespace glimmerset

// "Create Selected": five stages in a fixed order, each acting only when its
// row of `action` is selected and calling the next as its last step.

#include "app/main_window.h"

#include "codegen/asm_file.h"
#include "codegen/character_code.h"
#include "codegen/template_text.h"
#include "storage/file_names.h"

#include <QDir>
#include <QListWidget>
#include <QPlainTextEdit>

namespace glimmerset {

bool MainWindow::actionSelected(ActionRow row) const { return action_->item(row)->isSelected(); }

// The stages append to codeBuffer_ and the box is set only here, so a large
// template costs one copy into the box, not one per field.
void MainWindow::showCode() { code_->setPlainText(codeBuffer_); }

void MainWindow::Ccode_Click() {
    codeBuffer_.clear();
    guarded([&] {
        try {
            test_code();
        } catch (...) {
            showCode(); // before the failure's message box
            throw;
        }
    });
    showCode();
}

bool MainWindow::appendTemplate(const char *fileName, const QString &missingMessage) {
    // An unknown executable folder must not fall back on the working folder.
    const QString dir = platform_.executableDir();
    const TemplateText read = dir.isEmpty() ? TemplateText{QString(), QStringLiteral("no executable folder")}
                                            : template_text(QDir(dir).filePath(QString::fromLatin1(fileName)));
    codeBuffer_ += read.text;
    if (read.failure) {
        showCode();
        showMessage(missingMessage);
        return false;
    }
    return true;
}

void MainWindow::test_code() {
    if (actionSelected(kTestProgramRow) && !appendTemplate(kMainTemplateName, kMainTemplateMissing))
        return;
    char_code();
}

void MainWindow::char_code() {
    if (actionSelected(kCharacterCodeRow)) {
        snapshot_grids(grids_, glyphSet_);
        codeBuffer_ += character_code(glyphNames(), glyphSet_);
    }
    rest_code();
}

void MainWindow::rest_code() {
    if (actionSelected(kRestOfCodeRow) && !appendTemplate(kRestTemplateName, kRestTemplateMissing))
        return;
    code_to_file();
}

void MainWindow::code_to_file() {
    if (actionSelected(kSaveToFileRow)) {
        save_.setFilter(QStringLiteral("*.asm"));
        showCode();
        if (!save_.show(this))
            return;
        // Only the name written gets ".asm"; the dialog keeps what the user chose.
        write_asm_file(withExtension(save_.fileName(), kAsmFileExtension), codeBuffer_);
    }
    clip_text();
}

void MainWindow::clip_text() {
    if (actionSelected(kClipboardRow))
        platform_.setClipboardText(codeBuffer_);
}

} // namespace glimmerset

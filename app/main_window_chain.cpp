// "Create Selected": five stages in a fixed order, each acting only when its
// row of `action` is selected and calling the next as its last step.

#include "app/main_window.h"

#include "codegen/asm_file.h"
#include "codegen/code_generation.h"
#include "storage/file_names.h"

#include <QListWidget>
#include <QPlainTextEdit>

namespace glimmerset {

bool MainWindow::actionSelected(ActionRow row) const {
    return action_->item(row)->isSelected();
}

// The stages append to codeBuffer_ and the box is set only here, so a large
// template costs one copy into the box, not one per field.
void MainWindow::showCode() {
    code_->setPlainText(codeBuffer_);
}

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

// The buffer keeps what the template gave up to the failure; the box shows it
// before the message does.
bool MainWindow::templateRead(const std::optional<TemplateFailure> &failure) {
    if (!failure)
        return true;
    showCode();
    showMessage(failure->message);
    return false;
}

void MainWindow::test_code() {
    if (actionSelected(kTestProgramRow) &&
        !templateRead(appendTestProgram(codeBuffer_, platform_.executableDir())))
        return;
    char_code();
}

void MainWindow::char_code() {
    if (actionSelected(kCharacterCodeRow)) {
        snapshot_grids(grids_, glyphSet_);
        appendCharacterCode(codeBuffer_, glyphNames(), glyphSet_);
    }
    rest_code();
}

void MainWindow::rest_code() {
    if (actionSelected(kRestOfCodeRow) &&
        !templateRead(appendRestOfCode(codeBuffer_, platform_.executableDir())))
        return;
    code_to_file();
}

void MainWindow::code_to_file() {
    if (actionSelected(kSaveToFileRow)) {
        save_.setFilter(QStringLiteral("*.asm"));
        showCode();
        if (!save_.show(this, kAsmFileExtension.toString()))
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

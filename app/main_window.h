#pragma once

#include "app/platform.h"
#include "codegen/code_generation.h"
#include "app/glyph_editing.h"
#include "glyphs/glyph_set.h"

#include <QWidget>

#include <array>
#include <functional>
#include <optional>

class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;

namespace glimmerset {

// Rows of the `action` list; the chain runs in its own order, not theirs.
enum ActionRow {
    kCharacterCodeRow = 0,
    kRestOfCodeRow = 1,
    kTestProgramRow = 2,
    kSaveToFileRow = 3,
    kClipboardRow = 4,
};

// The one window, `main`: eight glyph grids with their names, the code box,
// the two lists and the four buttons.
class MainWindow : public QWidget {
    Q_OBJECT

public:
    explicit MainWindow(Platform &platform, QWidget *parent = nullptr);

    const GlyphSet &glyphSet() const { return glyphSet_; }
    // The code buffer exactly, CR LF line ends included; `code` shows it.
    const QString &codeBuffer() const { return codeBuffer_; }
    const FileDialog &saveDialog() const { return save_; }
    const FileDialog &openDialog() const { return open1_; }

private:
    void buildControls();
    void nameForAssistiveTechnology();
    void Form_Load();

    void char_Click(int glyph);
    void clear_Click();
    void Ccode_Click();
    void Command2_Click();
    void Command3_Click();

    void test_code();
    void char_code();
    void rest_code();
    void code_to_file();
    void clip_text();
    bool templateRead(const std::optional<TemplateFailure> &failure);

    bool actionSelected(ActionRow row) const;
    GlyphNames glyphNames() const;
    void showCode();
    void showMessage(const QString &text);
    // Runs a handler's body; whatever it throws ends up in the message box.
    void guarded(const std::function<void()> &body);

    Platform &platform_;
    GlyphSet glyphSet_;
    QString codeBuffer_;
    FileDialog save_;
    FileDialog open1_;

    GlyphGrids grids_{};
    std::array<QLineEdit *, kGlyphCount> names_{};
    QPlainTextEdit *code_ = nullptr;
    QGroupBox *frame1_ = nullptr;
    QListWidget *box_ = nullptr;
    QPushButton *clear_ = nullptr;
    QGroupBox *frame2_ = nullptr;
    QListWidget *action_ = nullptr;
    QPushButton *ccode_ = nullptr;
    QGroupBox *frame3_ = nullptr;
    QPushButton *command2_ = nullptr;
    QPushButton *command3_ = nullptr;
    QGroupBox *frame4_ = nullptr;
    QLabel *label1_ = nullptr;
};

} // namespace glimmerset

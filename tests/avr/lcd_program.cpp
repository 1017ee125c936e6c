#include "lcd_program.h"

#include "codegen/asm_file.h"
#include "codegen/code_generation.h"

#include <QDir>
#include <QProcess>

#include <cstdio>
#include <stdexcept>

namespace glimmerset::avrtest {

QString shippedTemplate(const char *name) {
    return QStringLiteral(GLIMMERSET_TEMPLATE_DIR "/") + QString::fromLatin1(name);
}

QString programText(const GlyphNames &names, const GlyphSet &glyphs, const QString *restText) {
    CodeRequest request;
    request.testProgram = true;
    request.characterCode = true;
    request.restOfCode = restText == nullptr;
    request.names = names;
    request.glyphs = glyphs;
    request.templateDir = QStringLiteral(GLIMMERSET_TEMPLATE_DIR);
    QString code;
    if (const auto failure = appendCode(code, request))
        throw std::runtime_error(failure->reason.toStdString());
    return restText ? code + *restText : code;
}

Assembly assemble(const QString &source, const QString &dir) {
    Assembly result;
    const QString asmPath = QDir(dir).filePath(QStringLiteral("program.asm"));
    write_asm_file(asmPath, source);
    QProcess avra;
    avra.setWorkingDirectory(dir);
    avra.setProcessChannelMode(QProcess::MergedChannels);
    avra.start(QStringLiteral(GLIMMERSET_AVRA),
               {QStringLiteral("-I"), QStringLiteral(GLIMMERSET_AVRA_INCLUDE_DIR),
                QStringLiteral("program.asm")});
    if (!avra.waitForFinished(60000)) {
        result.log = QStringLiteral("avra did not run: ") + avra.errorString();
        return result;
    }
    result.log = QString::fromLocal8Bit(avra.readAll());
    result.hexPath = QDir(dir).filePath(QStringLiteral("program.hex"));
    // avra 1.4 may exit with 0 after errors; its summary line tells.
    result.ok = avra.exitStatus() == QProcess::NormalExit && avra.exitCode() == 0 &&
                result.log.contains(QStringLiteral("Assembly complete with no errors")) &&
                QFile::exists(result.hexPath);
    return result;
}

std::array<std::uint8_t, 64> cgramImage(const GlyphSet &glyphs) {
    std::array<std::uint8_t, 64> image{};
    for (int g = 0; g < kGlyphCount; ++g)
        for (int r = 0; r < kRowCount; ++r) {
            std::uint8_t row = 0;
            for (int c = 0; c < kColumnCount; ++c)
                if (glyphs.isLit(r, c, g))
                    row |= static_cast<std::uint8_t>(0x10 >> c);
            image[8 * g + r] = row;
        }
    return image;
}

std::vector<std::string> boardProblems(const BoardRun &run, const GlyphSet &expected) {
    std::vector<std::string> problems;
    char text[128];
    if (!run.loaded) {
        problems.push_back("program not loaded: " + run.loadError);
        return problems;
    }
    if (!run.reachedLoop) {
        std::snprintf(text, sizeof text, "loop not reached within %llu cycles",
                      static_cast<unsigned long long>(kCycleBudget));
        problems.push_back(text);
    }
    const auto image = cgramImage(expected);
    for (int i = 0; i < 64; ++i)
        if (run.cgram[i] != image[i]) {
            std::snprintf(text, sizeof text, "CGRAM glyph %d row %d holds 0x%02X, expected 0x%02X",
                          i / 8, i % 8, run.cgram[i], image[i]);
            problems.push_back(text);
        }
    for (int i = 0; i < 8; ++i)
        if (run.ddramLine1[i] != i) {
            std::snprintf(text, sizeof text, "DDRAM %d holds 0x%02X, expected character %d", i,
                          run.ddramLine1[i], i);
            problems.push_back(text);
        }
    for (std::size_t i = 8; i < run.ddramLine1.size(); ++i)
        if (run.ddramLine1[i] != ' ') {
            std::snprintf(text, sizeof text, "DDRAM %zu holds 0x%02X, expected a blank", i,
                          run.ddramLine1[i]);
            problems.push_back(text);
        }
    for (const std::string &v : run.busViolations)
        problems.push_back("bus: " + v);
    return problems;
}

} // namespace glimmerset::avrtest

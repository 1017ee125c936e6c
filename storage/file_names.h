#pragma once

#include <QString>

namespace glimmerset {

inline constexpr QStringView kGlyphFileExtension = u".ch";
inline constexpr QStringView kAsmFileExtension = u".asm";

// Appends extension unless name already ends in exactly it (case-sensitive):
// "GLYPHS.CH" becomes "GLYPHS.CH.ch".
QString withExtension(const QString &name, QStringView extension);

} // namespace glimmerset

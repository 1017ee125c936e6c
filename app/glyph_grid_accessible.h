#pragma once

namespace glimmerset {

// Gives assistive technology each glyph grid as a table of its 40 cells, each
// read as lit or dark and pressed as a mouse click on it would be. Safe to
// call more than once.
void installGlyphGridAccessibility();

} // namespace glimmerset

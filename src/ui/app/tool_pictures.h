// The pictures of the tool bar (37 x 32, an enabled and a disabled set) and the glyphs of the side
// panel buttons, drawn by the program itself.
#pragma once

#include <QIcon>
#include <QImage>

namespace vorlino {

enum class ToolPicture { tpOpen, tpSave, tpPrint, tpMask, tpResize, tpUndo, tpRedo, tpBeforeAfter };
enum class PanelGlyph { pgBrowse, pgNegative, pgRotate };

inline constexpr int kToolPictureWidth = 37;
inline constexpr int kToolPictureHeight = 32;

// One picture at the given device pixel ratio; the disabled set is a flat grey rendering of the
// same drawing, lighter, so that it reads as unavailable on any button face.
QImage DrawToolPicture(ToolPicture picture, bool enabled, qreal ratio = 1.0);
// The enabled picture as the icon's normal mode and the disabled one as its disabled mode.
QIcon ToolIcon(ToolPicture picture);

// Side panel glyphs (16 x 16).
QIcon PanelGlyphIcon(PanelGlyph glyph);

}  // namespace vorlino

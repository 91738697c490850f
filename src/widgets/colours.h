// The fixed colours the pages and widgets use, as the classic 16-colour palette gives them.
#pragma once

#include <QColor>

namespace zt7 {
inline const QColor clRed(255, 0, 0);
inline const QColor clGreen(0, 128, 0);
inline const QColor clBlack(0, 0, 0);
inline const QColor clWhite(255, 255, 255);
// Button face: the neutral background of panels and indicators.
inline const QColor clBtnFace(240, 240, 240);
}  // namespace zt7

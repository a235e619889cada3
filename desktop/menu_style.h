// The owner-drawn look of the environment's popup menus (the main popup
// and the edit popup): every item is measured and drawn with the
// environment font and the skin's Menu, MenuCap and Text colours.
//
// Caption conventions: a caption beginning with "-" is a section header,
// drawn centred without its dash between two lines that blend from Menu to
// MenuCap; a caption "left||right" draws its right part right-aligned in
// MenuCap; a checked item gets a dot at its left.
#pragma once

#include <QProxyStyle>

#include "skin.h"

namespace tavro::desktop {

// Width = text width + 20, height = text height, with `font`.
QSize MeasureMenuItem(const QString& caption, const QFont& font);
// Draws one item into `rect`.
void DrawMenuItem(QPainter& painter, const QRect& rect, const QString& caption, bool selected, bool checked,
                  bool submenu, const SkinColours& colours, const QFont& font);
// The blend of two colours at step i of 32, rounded to nearest (ties to
// even) per component.
QColor BlendStep(const QColor& from, const QColor& to, int i);

// The style installed on both popups (and their submenus).
class MenuStyle : public QProxyStyle {
public:
    MenuStyle();
    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override;
    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget) const override;
    QSize sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& size,
                           const QWidget* widget) const override;
    int pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const override;
};

}  // namespace tavro::desktop

#include "menu_style.h"

#include <QPainter>
#include <QStyleFactory>
#include <QStyleOptionMenuItem>

#include "environment_font.h"
#include "languages.h"

namespace tavro::desktop {

namespace {

int roundHalfEven(int numerator, int denominator)
{
    int q = numerator / denominator, r = numerator % denominator;
    if (2 * r > denominator || (2 * r == denominator && (q & 1))) ++q;
    return q;
}

QString displayText(const QString& caption)
{
    // The shortcut Qt appends after a tab is not part of the caption.
    QString text = caption.section('\t', 0, 0);
    return QString::fromStdString(StripAccelerators(text.toStdString()));
}

}  // namespace

QColor BlendStep(const QColor& from, const QColor& to, int i)
{
    return QColor(roundHalfEven((32 - i) * from.red() + i * to.red(), 32),
                  roundHalfEven((32 - i) * from.green() + i * to.green(), 32),
                  roundHalfEven((32 - i) * from.blue() + i * to.blue(), 32));
}

QSize MeasureMenuItem(const QString& caption, const QFont& font)
{
    QFontMetrics fm(font);
    QRect r = fm.boundingRect(QRect(0, 0, 1024, 0), Qt::TextSingleLine, displayText(caption));
    return QSize(r.width() + 20, r.height());
}

void DrawMenuItem(QPainter& p, const QRect& rect, const QString& caption, bool selected, bool checked,
                  bool submenu, const SkinColours& c, const QFont& font)
{
    QString text = displayText(caption);
    int left = rect.left(), top = rect.top();
    int right = rect.left() + rect.width();  // exclusive, as the band's end
    int bottom = rect.top() + rect.height();
    p.save();
    p.setFont(font);
    p.fillRect(QRect(left, top, std::max(1024, right) - left, bottom - top + 1), c.Menu);
    int middle = (top + bottom) / 2;
    QFontMetrics fm(font);
    if (!text.startsWith('-')) {
        QColor ink = selected ? QColor(255, 255, 255) : c.Text;
        p.setPen(ink);
        int bar = text.indexOf("||");
        if (bar >= 0) {
            p.drawText(QRect(left + 10, top, rect.width() - 20, fm.height()), Qt::AlignLeft | Qt::AlignTop,
                       text.left(bar));
            p.setPen(selected ? ink : c.MenuCap);
            p.drawText(QRect(left, top, rect.width() - 10, fm.height()), Qt::AlignRight | Qt::AlignTop,
                       text.mid(bar + 2));
        } else {
            p.drawText(QRect(left + 10, top, rect.width() - 10, fm.height()), Qt::AlignLeft | Qt::AlignTop, text);
        }
        if (checked) {
            p.setPen(Qt::NoPen);
            p.setBrush(ink);
            p.setRenderHint(QPainter::Antialiasing, false);
            p.drawEllipse(QRect(left + 2, middle - 3, 6, 6));
        }
        if (submenu) {
            // The platform marks submenus with an arrow at the right.
            p.setPen(Qt::NoPen);
            p.setBrush(ink);
            int x = right - 8;
            p.drawPolygon(QPolygon({QPoint(x, middle - 3), QPoint(x + 3, middle), QPoint(x, middle + 3)}));
        }
    } else {
        for (int i = 0; i <= 32; ++i) {
            QColor blend = BlendStep(c.Menu, c.MenuCap, i);
            p.setPen(blend);
            p.drawPoint(left + i, middle);
            p.drawPoint(right - i, middle);
        }
        p.setPen(c.MenuCap);
        if (right - 32 > left + 32) p.drawLine(left + 32, middle, right - 33, middle);
        // The header text stands on the menu colour, cutting the line.
        QString header = text.mid(1);
        int w = fm.horizontalAdvance(header);
        QRect box(left + (rect.width() - w) / 2, top, w, fm.height());
        p.fillRect(box, c.Menu);
        p.drawText(box, Qt::AlignLeft | Qt::AlignTop, header);
    }
    p.restore();
}

MenuStyle::MenuStyle() : QProxyStyle(QStyleFactory::create("Fusion")) {}

void MenuStyle::drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                            const QWidget* widget) const
{
    if (element == CE_MenuItem) {
        if (auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(option)) {
            if (item->menuItemType == QStyleOptionMenuItem::Separator) {
                painter->fillRect(item->rect, CurrentSkin().Colours.Menu);
                return;
            }
            bool selected = (item->state & State_Selected) && (item->state & State_Enabled);
            DrawMenuItem(*painter, item->rect, item->text, selected, item->checked,
                         item->menuItemType == QStyleOptionMenuItem::SubMenu, CurrentSkin().Colours,
                         EnvironmentFont());
            return;
        }
    }
    if (element == CE_MenuEmptyArea) {
        painter->fillRect(option->rect, CurrentSkin().Colours.Menu);
        return;
    }
    QProxyStyle::drawControl(element, option, painter, widget);
}

void MenuStyle::drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                              const QWidget* widget) const
{
    if (element == PE_PanelMenu || element == PE_FrameMenu) {
        painter->fillRect(option->rect, CurrentSkin().Colours.Menu);
        if (element == PE_FrameMenu) {
            painter->setPen(CurrentSkin().Colours.MenuCap);
            painter->drawRect(option->rect.adjusted(0, 0, -1, -1));
        }
        return;
    }
    QProxyStyle::drawPrimitive(element, option, painter, widget);
}

QSize MenuStyle::sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& size,
                                  const QWidget* widget) const
{
    if (type == CT_MenuItem) {
        if (auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(option)) {
            if (item->menuItemType == QStyleOptionMenuItem::Separator) return QSize(10, 3);
            QSize size = MeasureMenuItem(item->text, EnvironmentFont());
            // Room for the submenu arrow, which the platform adds as well.
            if (item->menuItemType == QStyleOptionMenuItem::SubMenu) size.rwidth() += 12;
            return size;
        }
    }
    return QProxyStyle::sizeFromContents(type, option, size, widget);
}

int MenuStyle::pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const
{
    switch (metric) {
    case PM_MenuPanelWidth: return 1;
    case PM_MenuHMargin:
    case PM_MenuVMargin: return 1;
    case PM_SubMenuOverlap: return 0;
    default: return QProxyStyle::pixelMetric(metric, option, widget);
    }
}

}  // namespace tavro::desktop

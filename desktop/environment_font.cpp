#include "environment_font.h"

#include <QApplication>
#include <QToolTip>

namespace tavro::desktop {

namespace {
QFont gFont;
int gCharSet = 0;
}  // namespace

QFont EnvironmentFont() { return gFont; }

void SetEnvironmentFont(const QFont& font)
{
    gFont = font;
    QApplication::setFont(font);
    // The application's hints draw in the same font.
    QToolTip::setFont(font);
}

int EnvironmentCharSet() { return gCharSet; }
void SetEnvironmentCharSet(int charSet) { gCharSet = charSet; }

}  // namespace tavro::desktop

// The environment font: every window, menu and dialog copies it.
#pragma once

#include <QFont>

namespace tavro::desktop {

QFont EnvironmentFont();
// Sets the font and makes it the application's font, so that every widget
// created from now on and every open one takes it over.
void SetEnvironmentFont(const QFont& font);
// The character set number of the configuration: kept and written back;
// fonts here are chosen by face alone.
int EnvironmentCharSet();
void SetEnvironmentCharSet(int charSet);

}  // namespace tavro::desktop

// AboutBox: the splash screen shown while the configuration is applied,
// with the project texts of the configuration (PROJECT, VERSION,
// COPYRIGHT, URL) and the picture "logo/logo.bmp" of the images folder.
// Its two link labels open their text with the desktop's handler.
#pragma once

#include <QWidget>

class QLabel;

namespace tavro::desktop {

class AboutBox : public QWidget {
    Q_OBJECT
public:
    AboutBox();
    // Keeps the splash on screen for `holdMs` more, then hides it and
    // deletes it; `closed` runs after it was hidden.
    void CloseAfter(int holdMs, std::function<void()> closed);

protected:
    void mousePressEvent(QMouseEvent* event) override;

private:
    QLabel* projName_ = nullptr;
    QLabel* projName2_ = nullptr;
    QLabel* copyR_ = nullptr;
    QLabel* webAddr_ = nullptr;
};

}  // namespace tavro::desktop

#include "about_box.h"

#include <QDesktopServices>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QScreen>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

#include "configuration.h"
#include "skin.h"

namespace tavro::desktop {

namespace {

QLabel* greenLabel(QWidget* parent, const QString& text, Qt::Alignment align)
{
    auto* l = new QLabel(text, parent);
    l->setAlignment(align | Qt::AlignVCenter);
    l->setStyleSheet("color: #3ccf4e; background: transparent;");
    return l;
}

void makeLink(QLabel* label)
{
    label->setTextFormat(Qt::PlainText);
    QFont f = label->font();
    f.setUnderline(true);
    label->setFont(f);
    label->setCursor(Qt::PointingHandCursor);
    label->setTextInteractionFlags(Qt::NoTextInteraction);
}

void openWithDesktop(const QString& address)
{
    if (address.isEmpty()) return;
    QUrl url = QUrl::fromUserInput(address);
    QDesktopServices::openUrl(url);
}

}  // namespace

AboutBox::AboutBox()
{
    setObjectName("AboutBox");
    setWindowTitle("About Tavro");
    setWindowFlags(Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    setAttribute(Qt::WA_DeleteOnClose);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::black);
    setPalette(pal);
    setFixedSize(530, 371);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    auto* picture = new QLabel(this);
    picture->setObjectName("Image11");
    picture->setAlignment(Qt::AlignCenter);
    QImage logo = LoadPicture(Folders().Images + "logo/logo");
    if (!logo.isNull()) picture->setPixmap(QPixmap::fromImage(logo).scaled(530, 210, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    layout->addWidget(picture, 1);

    projName_ = new QLabel(QString::fromStdString(ConfigValue("PROJECT")), this);
    projName_->setObjectName("ProjName");
    projName_->setFixedHeight(45);
    projName_->setAlignment(Qt::AlignCenter);
    QFont big("serif");
    big.setPixelSize(40);
    big.setBold(true);
    projName_->setFont(big);
    projName_->setStyleSheet("color: yellow; background: transparent;");
    layout->addWidget(projName_);

    auto* panel = new QWidget(this);
    panel->setFixedHeight(73);
    auto* grid = new QHBoxLayout(panel);
    grid->setContentsMargins(8, 4, 8, 4);
    auto* leftPart = new QWidget(panel);
    leftPart->setFixedWidth(177);
    auto* leftColumn = new QVBoxLayout(leftPart);
    leftColumn->setContentsMargins(0, 0, 0, 0);
    leftColumn->setSpacing(0);
    leftColumn->addWidget(greenLabel(leftPart, QString("Tavro ") + TAVRO_VERSION, Qt::AlignLeft));
    leftColumn->addWidget(greenLabel(leftPart, "Free software, no warranty", Qt::AlignLeft));
    QLabel* label4 = greenLabel(leftPart, "https://tavro.invalid/", Qt::AlignLeft);
    label4->setObjectName("Label4");
    makeLink(label4);
    leftColumn->addWidget(label4);
    auto* rightPart = new QWidget(panel);
    auto* rightColumn = new QVBoxLayout(rightPart);
    rightColumn->setContentsMargins(0, 0, 0, 0);
    rightColumn->setSpacing(0);
    projName2_ = greenLabel(rightPart, QString::fromStdString(ConfigValue("VERSION")), Qt::AlignRight);
    copyR_ = greenLabel(rightPart, QString::fromStdString(ConfigValue("COPYRIGHT")), Qt::AlignRight);
    webAddr_ = greenLabel(rightPart, QString::fromStdString(ConfigValue("URL")), Qt::AlignRight);
    webAddr_->setObjectName("WebAddr");
    makeLink(webAddr_);
    rightColumn->addWidget(projName2_);
    rightColumn->addWidget(copyR_);
    rightColumn->addWidget(webAddr_);
    grid->addWidget(leftPart);
    grid->addWidget(rightPart, 1);
    layout->addWidget(panel);
    auto* bottom = new QWidget(this);
    bottom->setFixedHeight(43);
    layout->addWidget(bottom);

    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - QPoint(width() / 2, height() / 2));
}

void AboutBox::mousePressEvent(QMouseEvent* event)
{
    QWidget* hit = childAt(event->position().toPoint());
    if (hit && (hit->objectName() == "Label4" || hit == webAddr_)) {
        openWithDesktop(static_cast<QLabel*>(hit)->text());
        return;
    }
    QWidget::mousePressEvent(event);
}

void AboutBox::CloseAfter(int holdMs, std::function<void()> closed)
{
    repaint();
    QTimer::singleShot(holdMs, this, [this, closed] {
        hide();
        if (closed) closed();
        close();
    });
}

}  // namespace tavro::desktop

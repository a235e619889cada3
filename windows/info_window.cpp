#include "info_window.h"

#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QScrollBar>
#include <QUrl>
#include <QVBoxLayout>

#include "configuration.h"
#include "environment.h"
#include "environment_font.h"
#include "help_presentation.h"
#include "help_values.h"
#include "languages.h"
#include "message_dialog.h"
#include "link_text.h"
#include "application.h"
#include "output_window.h"
#include "run_control.h"
#include "run_scope.h"
#include "skin.h"

namespace tavro {

namespace {

QPointer<InfoWindow> gWeb;
std::function<void(const std::string&)> gWebHandler;
constexpr int kDropDownCount = 24;
constexpr int kHistoryLimit = 100;  // the drop-down list never grows without end

void openInDesktopBrowser(const std::string& address)
{
    QDesktopServices::openUrl(QUrl::fromUserInput(QString::fromStdString(address)));
}

QString fromUtf8(const std::string& s) { return QString::fromUtf8(s.data(), qsizetype(s.size())); }

}  // namespace

InfoWindow* TheInfoWindow() { return gWeb; }

void SetWebAddressHandler(std::function<void(const std::string&)> handler) { gWebHandler = std::move(handler); }

std::string UserHelpValueFolder() { return desktop::UserConfigurationFolder() + "Help/"; }

void ShowHelpFor(const std::string& word)
{
    InfoWindow* web = TheInfoWindow();
    if (!web) {
        if (Application* main = TheApplication()) web = main->OpenInfo();
        if (!web) return;
    }
    web->AddressBox()->setEditText(fromUtf8(word));
    web->EnterAddress();
}

// ---- the view

HelpView::HelpView(QWidget* parent) : QTextBrowser(parent)
{
    // Every link goes through the window's navigation, nothing is opened
    // by the view itself.
    setOpenLinks(false);
    setOpenExternalLinks(false);
    connect(this, &QTextBrowser::anchorClicked, this, [this](const QUrl&) {
        // The URL handed over here is already parsed; the raw target is
        // the one under the mouse, or the one the keyboard selected.
        QString raw = released_;
        released_.clear();
        if (raw.isEmpty()) raw = textCursor().charFormat().anchorHref();
        if (!raw.isEmpty()) emit linkActivated(raw);
    });
}

void HelpView::ShowPage(const QString& html, bool localHelp)
{
    localHelp_ = localHelp;
    setHtml(html);
}

void HelpView::mouseReleaseEvent(QMouseEvent* event)
{
    released_ = anchorAt(event->position().toPoint());
    QTextBrowser::mouseReleaseEvent(event);
    released_.clear();
}

// ---- the window

InfoWindow::InfoWindow(QWidget* parent) : ToolWindow(parent)
{
    InitToolWindow();
    AddButton("web.bmp", "INFO.HOME", [this] { GoHome(); });
    AddButton("help.bmp", "INFO.HELP", [this] { GoHelp(); });
    values_ = std::make_unique<HelpValueFiles>(desktop::Folders().Help, UserHelpValueFolder());

    strip_ = new QWidget(Body());
    strip_->setObjectName("Panel1");
    strip_->setAutoFillBackground(true);
    wwwText_ = new QLabel(strip_);
    wwwText_->setObjectName("WWWText");
    wwwText_->setAutoFillBackground(true);
    address_ = new QComboBox(strip_);
    address_->setObjectName("URLAddress");
    address_->setEditable(true);
    address_->setInsertPolicy(QComboBox::NoInsert);
    address_->setMaxVisibleItems(kDropDownCount);
    // Typed keys arrive at the box, which hands them to its line edit
    // itself (past any filter); keys sent to the line edit arrive there.
    address_->installEventFilter(this);
    address_->lineEdit()->installEventFilter(this);
    // Choosing an earlier address from the list goes there at once.
    connect(address_, &QComboBox::activated, this, [this](int index) {
        Navigate(AddressForTyped(address_->itemText(index).toStdString()));
    });
    auto* stripLayout = new QHBoxLayout(strip_);
    stripLayout->setContentsMargins(0, 2, 0, 2);
    stripLayout->setSpacing(0);
    stripLayout->addWidget(wwwText_);
    stripLayout->addWidget(address_, 1);

    view_ = new HelpView(Body());
    view_->setObjectName("WebBrowser1");
    view_->setFrameStyle(QFrame::NoFrame);
    connect(view_, &HelpView::linkActivated, this, [this](const QString& raw) {
        Navigate(raw.toStdString(), true);
    });
    auto* layout = new QVBoxLayout(Body());
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(strip_);
    layout->addWidget(view_, 1);

    // The delayed navigation: a topic request returns from the link
    // notification first and the page opens on the next turn of the event
    // loop.
    timer_.setSingleShot(true);
    timer_.setInterval(0);
    connect(&timer_, &QTimer::timeout, this, &InfoWindow::TimerTick);
    gWeb = this;
    RefreshSettings();
    GoHelp();
}

InfoWindow::~InfoWindow()
{
    if (gWeb == this) gWeb = nullptr;
}

std::string InfoWindow::HelpPageAddress() const { return desktop::Folders().Help + "help.xml"; }

std::string InfoWindow::ValueFolder() const { return values_->Folder(); }

void InfoWindow::RefreshSettings()
{
    ApplySettings();
    const desktop::SkinColours& colours = desktop::CurrentSkin().Colours;
    QFont font = desktop::EnvironmentFont();
    SetCaption(QString::fromStdString(desktop::Tr("INFO")));
    for (QWidget* w : {static_cast<QWidget*>(wwwText_), static_cast<QWidget*>(address_),
                       static_cast<QWidget*>(view_)})
        w->setFont(font);
    wwwText_->setText(QString::fromStdString(desktop::Tr("INFO.WWW") + " "));
    wwwText_->setFixedWidth(QFontMetrics(font).horizontalAdvance(wwwText_->text()) + 4);
    address_->setToolTip(QString::fromStdString(desktop::Tr("INFO.WWW.HINT")));

    QPalette box = address_->palette();
    box.setColor(QPalette::Base, colours.Desktop);
    box.setColor(QPalette::Text, colours.Text);
    address_->setPalette(box);
    QPalette panel = strip_->palette();
    panel.setColor(QPalette::Window, colours.Workspace);
    panel.setColor(QPalette::WindowText, colours.Text);
    strip_->setPalette(panel);
    wwwText_->setPalette(panel);
    strip_->setFixedHeight(address_->sizeHint().height() + 4);
    QPalette page = view_->palette();
    page.setColor(QPalette::Base, colours.Workspace);
    page.setColor(QPalette::Text, colours.Text);
    view_->setPalette(page);

    values_->WriteStyle(font, logicalDpiY());
    if (view_->LocalHelp()) showHelpPage(true);
}

void InfoWindow::GoHome()
{
    // The product's home page is what the configuration names for the
    // about box; without one the help's start page is home.
    std::string url = desktop::ConfigValue("URL");
    if (url.find("://") == std::string::npos) {
        GoHelp();
        return;
    }
    Navigate(url);
}

void InfoWindow::GoHelp()
{
    address_->setEditText(QString());
    Navigate("view://help");
}

void InfoWindow::selectAddress() { address_->lineEdit()->selectAll(); }

bool InfoWindow::BeforeNavigate(const std::string& address)
{
    bool cancel = false;
    switch (SchemeOf(address)) {
    case LinkScheme::Refused: return true;
    case LinkScheme::View: cancel = ShowTopic(address) == 1; break;
    case LinkScheme::Exec: cancel = ExecuteLink(address) == 1; break;
    case LinkScheme::Copy: cancel = CopyLink(address) == 1; break;
    case LinkScheme::Other:
        if (address.find("help.xml") == std::string::npos) address_->setEditText(fromUtf8(address));
        break;
    }
    // The command of an exec:// link may have closed the window.
    if (gWeb == this) selectAddress();
    return cancel;
}

void InfoWindow::Navigate(const std::string& address, bool fromPage)
{
    // One click on a page from elsewhere must never run or copy a command.
    if (fromPage && IsPrivateAddress(address) && !view_->LocalHelp()) return;
    // A page's link leaves the help only for a web page: a script, a local
    // file or a program's own scheme handed to the desktop could run
    // anything.
    if (fromPage && SchemeOf(address) == LinkScheme::Other && !IsWebAddress(address) &&
        address != HelpPageAddress()) {
        desktop::ShowMessageDialog(desktop::FormatOne(desktop::Tr("INFO.NOTOPENED"), address));
        return;
    }
    QPointer<InfoWindow> self(this);
    bool cancel = BeforeNavigate(address);
    if (!self || cancel || IsPrivateAddress(address)) return;
    openPage(address);
}

void InfoWindow::openPage(const std::string& address)
{
    if (address == HelpPageAddress()) {
        showHelpPage(false);
        return;
    }
    if (gWebHandler)
        gWebHandler(address);
    else
        openInDesktopBrowser(address);
}

void InfoWindow::showHelpPage(bool keepScroll)
{
    HelpPage page = RenderHelpPage(desktop::Folders().Help, values_->Folder());
    QString html = fromUtf8(page.Html);
    if (html.isEmpty())
        html = "<h1>The help cannot be shown</h1><p>" + fromUtf8(page.Error).toHtmlEscaped() + "</p>";
    int scroll = view_->verticalScrollBar()->value();
    view_->ShowPage(html, true);
    if (keepScroll) view_->verticalScrollBar()->setValue(scroll);
}

void InfoWindow::EnterAddress()
{
    QString text = address_->currentText();
    address_->insertItem(0, text);
    while (address_->count() > kHistoryLimit) address_->removeItem(address_->count() - 1);
    address_->setEditText(text);
    Navigate(AddressForTyped(text.toStdString()));
}

void InfoWindow::TimerTick()
{
    timer_.stop();
    std::string address;
    address.swap(pending_);
    if (!address.empty()) Navigate(address);
}

int InfoWindow::ShowTopic(const std::string& address)
{
    std::string topic = PercentDecoded(LinkArgument(address));
    if (topic.empty()) return 1;
    values_->WriteTopic(topic);
    pending_ = HelpPageAddress();
    address_->setEditText(fromUtf8(topic));
    timer_.start();
    return 0;
}

int InfoWindow::ExecuteLink(const std::string& address)
{
    std::string argument = LinkArgument(address);
    if (argument.empty()) return 1;
    std::string text = DecodeLinkText(argument);
    timer_.stop();
    if (OutputWindow* out = TheOutputWindow()) {
        // The decoded text starts with a line break; the echo shows the
        // command lines themselves.
        for (const QString& line : fromUtf8(text).split('\r', Qt::SkipEmptyParts))
            out->AppendLine(line.toStdString(), QColor(Qt::black), true);
    }
    {
        RunScope scope;
        RunSystemCommand(text);
    }
    // The memory window shows what the command made, as after a typed one.
    Env().RebuildTree();
    return 0;
}

int InfoWindow::CopyLink(const std::string& address)
{
    std::string argument = LinkArgument(address);
    if (argument.empty()) return 1;
    QString text = fromUtf8(DecodeLinkText(argument));
    // Line ends as this desktop writes them; the break that the decoding
    // puts before a one-line text is no line of the example.
    text.replace('\r', '\n');
    while (text.startsWith('\n')) text.remove(0, 1);
    QGuiApplication::clipboard()->setText(text);
    timer_.stop();
    return 0;
}

bool InfoWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (address_ && (watched == address_ || watched == address_->lineEdit()) && event->type() == QEvent::KeyPress) {
        auto* k = static_cast<QKeyEvent*>(event);
        if (k->key() == Qt::Key_Return || k->key() == Qt::Key_Enter) {
            EnterAddress();
            return true;
        }
    }
    return ToolWindow::eventFilter(watched, event);
}

void InfoWindow::closeEvent(QCloseEvent* event)
{
    StoreSize("WEB");
    if (gWeb == this) gWeb = nullptr;
    ToolWindow::closeEvent(event);
}

}  // namespace tavro

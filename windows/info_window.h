// InfoWindow: the info window. Shows the help pages (one topic of help.xml at a
// time, through the help presentation) in an HTML view under an address
// strip, and acts on the private link schemes of link_text.h:
//  - "view://TOPIC" writes the topic into the value files and opens the
//    help page one timer tick later (outside the link notification);
//  - "exec://TEXT" echoes the decoded command lines in bold to the output
//    window and runs them nested in whatever program is running;
//  - "copy://TEXT" puts the decoded command lines on the clipboard;
//  - "res://" is always refused.
// Private links act only on pages of the local help: a page from anywhere
// else can neither run nor copy a command. Web addresses (anything else
// with "://") are handed to the desktop's browser and never shown here.
//
// At most one info window exists; the main window opens and closes it.
// It writes WEB.WIDTH and WEB.HEIGHT when it closes.
#pragma once

#include <QTextBrowser>
#include <QTimer>
#include <functional>
#include <memory>
#include <string>

#include "tool_window.h"

class QComboBox;
class QLabel;

namespace tavro {

class HelpValueFiles;

// The HTML view. Link activations (mouse or keyboard) are reported with
// the link target exactly as the page wrote it: a URL parser would reject
// "exec://print%201" and lower-case "view://BACK".
class HelpView : public QTextBrowser {
    Q_OBJECT
public:
    explicit HelpView(QWidget* parent = nullptr);
    // Shows a page; `localHelp` tells whether it is a page of the local
    // help (the only pages whose private links act).
    void ShowPage(const QString& html, bool localHelp);
    bool LocalHelp() const { return localHelp_; }
    // The raw link target at a point of the viewport ("" when none).
    QString RawLinkAt(QPoint viewportPos) const { return anchorAt(viewportPos); }

signals:
    void linkActivated(const QString& rawTarget);

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QString released_;  // the raw target under the last mouse release
    bool localHelp_ = false;
};

class InfoWindow : public ToolWindow {
    Q_OBJECT
public:
    explicit InfoWindow(QWidget* parent = nullptr);
    ~InfoWindow() override;
    void RefreshSettings() override;

    // The two buttons.
    void GoHome();
    void GoHelp();

    // Opens an address as the browser would: the before-navigate step
    // first, then the help page (the pending address) or the desktop's
    // browser. `fromPage` marks a link followed on the page shown, whose
    // private links act only when it is local help.
    void Navigate(const std::string& address, bool fromPage = false);
    // The before-navigate step; true when the address is cancelled.
    bool BeforeNavigate(const std::string& address);
    // Enter in the address box.
    void EnterAddress();
    // What the timer does: opens the pending address.
    void TimerTick();

    // 0 when done, 1 when the address carried nothing.
    int ShowTopic(const std::string& address);
    int ExecuteLink(const std::string& address);
    int CopyLink(const std::string& address);

    QComboBox* AddressBox() const { return address_; }
    HelpView* View() const { return view_; }
    const QTimer& Timer() const { return timer_; }
    const std::string& PendingAddress() const { return pending_; }
    // The address of the help page: the help folder's "help.xml".
    std::string HelpPageAddress() const;
    // Where the value files went (the help folder, or the per-user folder
    // when the help folder cannot be written).
    std::string ValueFolder() const;

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void openPage(const std::string& address);
    void showHelpPage(bool keepScroll);
    void selectAddress();

    QWidget* strip_ = nullptr;
    QLabel* wwwText_ = nullptr;
    QComboBox* address_ = nullptr;
    HelpView* view_ = nullptr;
    QTimer timer_;
    std::string pending_;
    std::unique_ptr<HelpValueFiles> values_;
};

// The open info window, or null.
InfoWindow* TheInfoWindow();

// Shows the help for a word as if it had been typed into the info
// window's address box and Enter pressed; opens the window first when it
// is closed (the source editor's "Help file" entry uses this).
void ShowHelpFor(const std::string& word);

// Who opens web addresses (default: the desktop's browser). Tests replace
// it; an empty function restores the default.
void SetWebAddressHandler(std::function<void(const std::string&)> handler);

// The per-user folder for the value files when the help folder cannot be
// written: beside the user's configuration.
std::string UserHelpValueFolder();

}  // namespace tavro

#include "scene_host.h"

#include <QApplication>
#include <QAudioOutput>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMediaPlayer>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QMouseEvent>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>
#include <filesystem>

#include "configuration.h"
#include "interpreter.h"
#include "application.h"
#include "plane_window.h"
#include "run_control.h"
#include "run_scope.h"
#include "skin.h"
#include "structure.h"
#include "tavro.h"
#include "text.h"

namespace tavro {

using namespace desktop;

namespace fs = std::filesystem;

namespace {

// A widget atom owns one of these: the control may go with the plane
// window before the atom is released.
struct WidgetHandle {
    QPointer<QWidget> Control;
    std::string Owner;  // dotted name of the object whose onclick runs
};

WidgetHandle* handleOf(long double n)
{
    Atom* a = reinterpret_cast<Atom*>(static_cast<intptr_t>(n));
    return a && a != NoValue && IsWidget(a) ? static_cast<WidgetHandle*>(WidgetControl(a)) : nullptr;
}

std::vector<std::string> splitBy(const std::string& text, char sep)
{
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        size_t at = text.find(sep, start);
        parts.push_back(text.substr(start, at == std::string::npos ? std::string::npos : at - start));
        if (at == std::string::npos) break;
        start = at + 1;
    }
    return parts;
}

// A list box shows its caption above its items: the control is a frame
// holding a label and the list.
QListWidget* listOf(QWidget* w)
{
    if (auto* list = qobject_cast<QListWidget*>(w)) return list;
    return w ? w->findChild<QListWidget*>() : nullptr;
}

QLabel* captionOf(QWidget* w)
{
    return w && w->property("tavroCaptioned").toBool() ? w->findChild<QLabel*>() : nullptr;
}

// An edit box runs its onclick when it is clicked, as every widget does,
// and also when Enter is pressed in it.
class ClickFilter : public QObject {
public:
    ClickFilter(QObject* parent, std::function<void()> onClick) : QObject(parent), onClick_(std::move(onClick)) {}
    bool eventFilter(QObject* o, QEvent* e) override
    {
        if (e->type() == QEvent::MouseButtonRelease &&
            static_cast<QMouseEvent*>(e)->button() == Qt::LeftButton)
            QTimer::singleShot(0, this, onClick_);
        return QObject::eventFilter(o, e);
    }

private:
    std::function<void()> onClick_;
};

void clicked(WidgetHandle* h)
{
    if (h->Owner.empty()) return;
    RunScope scope;
    RunSystemCommand(h->Owner + ".onclick");
    QCoreApplication::processEvents();
    if (MakeSceneContextCurrent()) TheScene().Redraw();
}

PlaneWindow* openPlane()
{
    if (PlaneWindow* p = ThePlaneWindow()) return p;
    Application* main = TheApplication();
    if (!main || main->Closing()) return nullptr;
    return main->OpenPlane(ConfigInt("PLANE.LEFT"), ConfigInt("PLANE.TOP"));
}

intptr_t widgetSet(TText* text, long double n1, long double n2)
{
    WidgetHandle* h = handleOf(n1);
    if (!h || !text) return 0;
    std::string t(View(*text));
    size_t sep = t.find(TAVRO_ARG_SEPARATOR);
    std::string property = t.substr(0, sep);
    std::string value = sep == std::string::npos ? std::string() : t.substr(sep + 1);
    if (property == "TAG") {
        Atom* node = reinterpret_cast<Atom*>(static_cast<intptr_t>(n2));
        h->Owner = node && node->Parent ? DottedPath(node->Parent) : std::string();
        return 0;
    }
    QWidget* w = h->Control;
    if (!w) return 0;
    QString v = QString::fromStdString(value);
    if (property == "BOUNDS") {
        int x = 0, y = 0, width = 1, height = 1;
        std::sscanf(value.c_str(), "%d %d %d %d", &x, &y, &width, &height);
        w->setGeometry(x, y, std::max(1, width), std::max(1, height));
    } else if (property == "CAPTION" || property == "TEXT") {
        if (QLabel* caption = captionOf(w)) caption->setText(v);
        else if (auto* b = qobject_cast<QPushButton*>(w)) b->setText(v);
        else if (auto* c = qobject_cast<QCheckBox*>(w)) c->setText(v);
        else if (auto* l = qobject_cast<QLabel*>(w)) l->setText(v);
        else if (auto* e = qobject_cast<QLineEdit*>(w)) e->setText(v);
        else if (auto* m = qobject_cast<QPlainTextEdit*>(w)) m->setPlainText(v);
    } else if (property == "ITEMS") {
        if (auto* list = listOf(w)) {
            list->clear();
            if (!value.empty())
                for (const std::string& item : splitBy(value, TAVRO_ARG_SEPARATOR))
                    list->addItem(QString::fromStdString(item));
        }
    }
    return 0;
}

intptr_t widgetGet(TText* text, long double n1)
{
    WidgetHandle* h = handleOf(n1);
    if (!h || !h->Control || !text) return 0;
    std::string property(View(*text));
    QWidget* w = h->Control;
    QString v;
    if (property == "TEXT") {
        if (auto* b = qobject_cast<QPushButton*>(w)) v = b->text();
        else if (auto* c = qobject_cast<QCheckBox*>(w)) v = c->text();
        else if (auto* l = qobject_cast<QLabel*>(w)) v = l->text();
        else if (auto* e = qobject_cast<QLineEdit*>(w)) v = e->text();
        else if (auto* m = qobject_cast<QPlainTextEdit*>(w)) v = m->toPlainText();
        else if (auto* list = listOf(w)) v = list->currentItem() ? list->currentItem()->text() : QString();
    } else if (property == "SELECTION") {
        // The selected item's text; unanswered when nothing is selected.
        auto* list = listOf(w);
        if (!list || !list->currentItem()) return 0;
        v = list->currentItem()->text();
    } else if (property == "CHECKED") {
        auto* c = qobject_cast<QCheckBox*>(w);
        v = c && c->isChecked() ? "true" : "false";
    } else {
        return 0;
    }
    SetText(text, v.toStdString());
    return 1;
}

}  // namespace

scene::Scene& TheScene()
{
    static scene::Scene scene;
    return scene;
}

bool MakeSceneContextCurrent()
{
    if (PlaneWindow* p = ThePlaneWindow())
        if (p->View()->MakeCurrent()) return true;
    // Both belong to the application object, so they go before it does.
    static QPointer<QOffscreenSurface> surface;
    static QPointer<QOpenGLContext> context;
    if (!context) {
        if (!qApp) return false;
        surface = new QOffscreenSurface(nullptr, qApp);
        surface->create();
        context = new QOpenGLContext(qApp);
        if (QOpenGLContext* shared = QOpenGLContext::globalShareContext()) context->setShareContext(shared);
        if (!context->create()) {
            delete context;
            return false;
        }
    }
    return context->makeCurrent(surface);
}

intptr_t WindowService(int code, TText* text, long double n1, long double n2, long double, long double)
{
    switch (code) {
    case TAVRO_SVC_PLANE_MENU:
        if (PlaneWindow* p = ThePlaneWindow()) p->FillPopupMenu(reinterpret_cast<Atom*>(static_cast<intptr_t>(n1)));
        return 0;
    case TAVRO_SVC_BORDER_LEFT: return CurrentSkin().Plain ? 0 : CurrentSkin().Left;
    case TAVRO_SVC_BORDER_TOP: return CurrentSkin().Plain ? 0 : CurrentSkin().Top;
    case TAVRO_SVC_SHOW_PLANE:
        if (PlaneWindow* p = openPlane()) p->RefreshView();
        return 0;
    case TAVRO_SVC_WIDGET_SET: return widgetSet(text, n1, n2);
    case TAVRO_SVC_WIDGET_GET: return widgetGet(text, n1);
    default: return 0;
    }
}

Atom* CreatePlaneWidget(int serviceCode)
{
    PlaneWindow* plane = openPlane();
    if (!plane) return nullptr;
    QWidget* parent = plane->View();
    auto* handle = new WidgetHandle();
    QWidget* w = nullptr;
    switch (serviceCode) {
    case TAVRO_SVC_BUTTON:
    case TAVRO_SVC_BITMAP_BUTTON: {
        auto* b = new QPushButton(parent);
        QObject::connect(b, &QPushButton::clicked, b, [handle] { clicked(handle); });
        w = b;
        break;
    }
    case TAVRO_SVC_LISTBOX: {
        auto* frame = new QWidget(parent);
        frame->setProperty("tavroCaptioned", true);
        auto* layout = new QVBoxLayout(frame);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(1);
        auto* caption = new QLabel(frame);
        QPalette pal = caption->palette();
        pal.setColor(QPalette::WindowText, CurrentSkin().Colours.Text);
        caption->setPalette(pal);
        auto* l = new QListWidget(frame);
        layout->addWidget(caption);
        layout->addWidget(l, 1);
        QObject::connect(l, &QListWidget::itemClicked, l, [handle] { clicked(handle); });
        w = frame;
        break;
    }
    case TAVRO_SVC_EDIT: {
        auto* e = new QLineEdit(parent);
        QObject::connect(e, &QLineEdit::returnPressed, e, [handle] { clicked(handle); });
        e->installEventFilter(new ClickFilter(e, [handle] { clicked(handle); }));
        w = e;
        break;
    }
    case TAVRO_SVC_MEMO: w = new QPlainTextEdit(parent); break;
    case TAVRO_SVC_CHECKBOX: {
        auto* c = new QCheckBox(parent);
        QObject::connect(c, &QCheckBox::clicked, c, [handle] { clicked(handle); });
        w = c;
        break;
    }
    default: w = new QLabel(parent); break;
    }
    handle->Control = w;
    // Captions drawn straight on the plane read in the skin's text colour.
    if (qobject_cast<QLabel*>(w) || qobject_cast<QCheckBox*>(w)) {
        QPalette pal = w->palette();
        pal.setColor(QPalette::WindowText, CurrentSkin().Colours.Text);
        w->setPalette(pal);
    }
    w->setGeometry(0, 0, 1, 1);
    w->show();
    return NewWidget(handle);
}

void ReleasePlaneWidget(Atom* widget)
{
    auto* handle = static_cast<WidgetHandle*>(WidgetControl(widget));
    if (!handle) return;
    // A control may be released from inside its own click: it goes once
    // the event has been handled.
    if (handle->Control) {
        // Its click filter (and a click it has queued) goes with it now.
        qDeleteAll(handle->Control->findChildren<ClickFilter*>());
        handle->Control->disconnect();
        handle->Control->deleteLater();
    }
    delete handle;
}

void PlayMedia(const std::string& file, int player)
{
    static QMediaPlayer* players[2] = {nullptr, nullptr};
    static QAudioOutput* outputs[2] = {nullptr, nullptr};
    int i = player == 2 ? 1 : 0;
    if (!players[i]) {
        players[i] = new QMediaPlayer();
        outputs[i] = new QAudioOutput();
        players[i]->setAudioOutput(outputs[i]);
    }
    players[i]->setSource(QUrl::fromLocalFile(QString::fromStdString(fs::absolute(file).string())));
    players[i]->play();
}

}  // namespace tavro

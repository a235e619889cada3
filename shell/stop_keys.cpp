#include "stop_keys.h"

#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>

#include "interpreter.h"
#include "run_control.h"

namespace tavro::shell {

bool IsStopKey(const QKeyEvent& key, const QWidget* focus)
{
    // X11 reports Ctrl+Pause as the Break key, which Qt names Cancel.
    if (key.key() == Qt::Key_Cancel || (key.key() == Qt::Key_Pause && (key.modifiers() & Qt::ControlModifier)))
        return true;
    if (key.key() != Qt::Key_Escape || key.modifiers() != Qt::NoModifier) return false;
    if (QApplication::activeModalWidget()) return false;
    if (auto* line = qobject_cast<const QLineEdit*>(focus); line && !line->text().isEmpty()) return false;
    return true;
}

bool StopKeyFilter::eventFilter(QObject* watched, QEvent* event)
{
    // Every key event passes here, for each widget it travels through:
    // only the one meant for the focus widget counts.
    if (event->type() != QEvent::KeyPress || !IsRunActive(RunState) || RunState == rsStopRequested)
        return QObject::eventFilter(watched, event);
    QWidget* focus = QApplication::focusWidget();
    if (watched != focus && !(focus == nullptr && watched->isWidgetType()))
        return QObject::eventFilter(watched, event);
    // Without a focus widget (a window not shown yet) the receiver counts.
    if (!IsStopKey(*static_cast<QKeyEvent*>(event), focus ? focus : static_cast<QWidget*>(watched)))
        return QObject::eventFilter(watched, event);
    SetRunState(rsStopRequested);
    return true;
}

}  // namespace tavro::shell

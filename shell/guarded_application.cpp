#include "guarded_application.h"

#include <exception>
#include <new>
#include <string>

#include "languages.h"
#include "memory_room.h"
#include "message_dialog.h"
#include "message_table.h"

namespace tavro::shell {

namespace {

int gReported = 0;
bool gReporting = false;

void report(const std::string& what)
{
    ++gReported;
    // A failure while the message itself is shown is not shown again.
    if (gReporting) return;
    gReporting = true;
    try {
        desktop::ShowMessageDialog(desktop::Tr("SYSTEMERROR") + " " + what);
    } catch (...) {
    }
    gReporting = false;
}

}  // namespace

GuardedApplication::GuardedApplication(int& argc, char** argv) : QApplication(argc, argv) {}

int GuardedApplication::Reported() { return gReported; }

bool GuardedApplication::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::bad_alloc&) {
        // The room held back for errors makes the message possible.
        GiveRoomForError();
        report(ErrorMessages().TextOrKey("OUTOFMEMORY"));
    } catch (const std::exception& e) {
        report(e.what());
    } catch (...) {
        report("unknown exception");
    }
    return true;
}

}  // namespace tavro::shell

// The open and save dialogs shared by the environment's windows.
#pragma once

#include <QString>
#include <QStringList>

class QWidget;

namespace tavro::desktop {

// Indexes of the save dialog's file types.
enum SaveFilter { kProgramFilterIndex = 0, kTextFilterIndex = 1, kJpegFilterIndex = 2, kAllFilterIndex = 3 };

// Where the dialogs start: the folder of the last file chosen in one
// (LASTFOLDER of the configuration) while it exists, else the user's
// documents folder (XDG_DOCUMENTS_DIR, else the desktop's documents
// folder), else the home folder; never the executable's or the
// configuration's folder.
QString StartFolder();

// Both dialogs list the folder of the example programs among their places.
// Program files to open (several may be chosen), in the dialog's order.
QStringList AskOpenFileNames(QWidget* parent);
// A file to save to with the given file type preselected; "" when
// cancelled. A name without extension gets the type's extension (".tvr"
// for programs); an existing file is only overwritten after a question.
// `proposed` (a path) gives the initial folder and name; a bare name is
// proposed in StartFolder().
QString AskSaveFileName(QWidget* parent, int filterIndex = kProgramFilterIndex, const QString& proposed = {});

// A file to save a picture of the plane to: PNG preselected, JPEG, SVG,
// STL and OBJ offered; the chosen type's extension is added to a name
// without one. "" when cancelled.
QString AskPictureFileName(QWidget* parent);

}  // namespace tavro::desktop

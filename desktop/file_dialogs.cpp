#include "file_dialogs.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QStandardPaths>
#include <QUrl>
#include <cstdlib>

#include "configuration.h"

namespace tavro::desktop {

namespace {

const QStringList& saveFilters()
{
    static const QStringList filters = {"Tavro files (*.tvr *.TVR)", "Text files (*.txt *.TXT)",
                                        "JPEG files (*.jpg *.JPG *.jpeg)", "All files (*)"};
    return filters;
}

const char* const kExtensions[] = {"tvr", "txt", "jpg", ""};

// Remembers the folder of the file the user chose.
void noteFolder(const QStringList& chosen)
{
    if (!chosen.isEmpty()) ConfigSet("LASTFOLDER", QFileInfo(chosen.first()).absolutePath().toStdString());
}

// The dialog's places: the platform's own, and the examples.
void addExamplesPlace(QFileDialog& dialog)
{
    QDir examples(QString::fromStdString(Folders().Examples));
    if (!examples.exists()) return;
    QList<QUrl> places = dialog.sidebarUrls();
    QUrl url = QUrl::fromLocalFile(examples.canonicalPath());
    if (!places.contains(url)) places.append(url);
    dialog.setSidebarUrls(places);
}

}  // namespace

QString StartFolder()
{
    QString last = QString::fromStdString(ConfigValue("LASTFOLDER"));
    if (!last.isEmpty() && QDir(last).exists()) return last;
    if (const char* documents = std::getenv("XDG_DOCUMENTS_DIR"); documents && QDir(documents).exists())
        return QString::fromLocal8Bit(documents);
    // The user's own documents folder as the desktop names it (user-dirs).
    QString named = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (!named.isEmpty() && QDir(named).exists()) return named;
    return QDir::homePath();
}

QStringList AskOpenFileNames(QWidget* parent)
{
    QFileDialog dialog(parent, "Open");
    dialog.setFileMode(QFileDialog::ExistingFiles);
    dialog.setNameFilters({"Tavro files (*.tvr *.TVR)", "Text files (*.txt *.TXT)", "All files (*)"});
    dialog.setOption(QFileDialog::ReadOnly, false);
    dialog.setDirectory(StartFolder());
    addExamplesPlace(dialog);
    if (dialog.exec() != QDialog::Accepted) return {};
    noteFolder(dialog.selectedFiles());
    return dialog.selectedFiles();
}

QString AskSaveFileName(QWidget* parent, int filterIndex, const QString& proposed)
{
    QFileDialog dialog(parent, "Save");
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters(saveFilters());
    if (filterIndex < 0 || filterIndex >= saveFilters().size()) filterIndex = kProgramFilterIndex;
    dialog.selectNameFilter(saveFilters()[filterIndex]);
    dialog.setDefaultSuffix(kExtensions[filterIndex]);
    // A proposed name without a folder goes into the start folder.
    if (proposed.isEmpty() || QFileInfo(proposed).isRelative()) dialog.setDirectory(StartFolder());
    if (!proposed.isEmpty()) dialog.selectFile(proposed);
    addExamplesPlace(dialog);
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog](const QString& f) {
        int i = int(saveFilters().indexOf(f));
        dialog.setDefaultSuffix(i >= 0 ? kExtensions[i] : "");
    });
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    noteFolder(dialog.selectedFiles());
    return dialog.selectedFiles().first();
}

QString AskPictureFileName(QWidget* parent)
{
    static const QStringList filters = {"PNG pictures (*.png *.PNG)", "JPEG pictures (*.jpg *.JPG *.jpeg)",
                                        "SVG drawings (*.svg *.SVG)", "STL models for 3D printing (*.stl *.STL)",
                                        "OBJ models with colours (*.obj *.OBJ)"};
    static const char* const suffixes[] = {"png", "jpg", "svg", "stl", "obj"};
    QFileDialog dialog(parent, "Save picture");
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters(filters);
    dialog.setDefaultSuffix(suffixes[0]);
    dialog.setDirectory(StartFolder());
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog](const QString& f) {
        int i = int(filters.indexOf(f));
        dialog.setDefaultSuffix(i >= 0 ? suffixes[i] : "");
    });
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    noteFolder(dialog.selectedFiles());
    return dialog.selectedFiles().first();
}

}  // namespace tavro::desktop

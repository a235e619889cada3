#include "file_dialogs.h"

#include <QFileDialog>
#include <QFileInfo>

namespace tavro::shell {

namespace {

const QStringList& saveFilters()
{
    static const QStringList filters = {"Tavro files (*.tvr *.TVR)", "Text files (*.txt *.TXT)",
                                        "JPEG files (*.jpg *.JPG *.jpeg)", "All files (*)"};
    return filters;
}

const char* const kExtensions[] = {"tvr", "txt", "jpg", ""};

}  // namespace

QStringList AskOpenFileNames(QWidget* parent)
{
    QFileDialog dialog(parent, "Open");
    dialog.setFileMode(QFileDialog::ExistingFiles);
    dialog.setNameFilters({"Tavro files (*.tvr *.TVR)", "Text files (*.txt *.TXT)", "All files (*)"});
    dialog.setOption(QFileDialog::ReadOnly, false);
    if (dialog.exec() != QDialog::Accepted) return {};
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
    if (!proposed.isEmpty()) dialog.selectFile(proposed);
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog](const QString& f) {
        int i = int(saveFilters().indexOf(f));
        dialog.setDefaultSuffix(i >= 0 ? kExtensions[i] : "");
    });
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return dialog.selectedFiles().first();
}

}  // namespace tavro::shell

// SPDX-License-Identifier: MIT
// The file, folder and message prompts and the modal runs of our dialogs go through these
// functions, so that tests (and scripted runs) can answer them in place of a user.
#pragma once

#include <QMessageBox>
#include <QString>
#include <QStringList>
#include <functional>

class QDialog;
class QDialogButtonBox;
class QWidget;

namespace kov {

// Stand-ins for the user's answers. An empty member means the real dialog is shown.
struct DialogPrompts {
    // Open-file dialog with multiple selection: the chosen paths in selection order, or none.
    std::function<QStringList(QWidget* parent, const QString& caption, const QString& directory,
                              const QString& filter)>
        openFileNames;
    // Folder dialog: the chosen folder, or an empty text for cancel.
    std::function<QString(QWidget* parent, const QString& caption, const QString& directory)>
        existingDirectory;
    // Message box: the button that ends it.
    std::function<QMessageBox::StandardButton(QWidget* parent, QMessageBox::Icon icon,
                                              const QString& text,
                                              QMessageBox::StandardButtons buttons)>
        message;
    // Modal run of one of our dialogs: may change the dialog's controls; answers the result
    // (QDialog::Accepted or Rejected) as exec() would.
    std::function<int(QDialog& dialog)> runModal;
};

// The installed stand-ins; tests assign them and reset them with `testPrompts() = {}`.
DialogPrompts& testPrompts();

// Multiple-selection open-file dialog; filters separated by ";;" as QFileDialog takes them.
QStringList promptOpenFileNames(QWidget* parent, const QString& caption, const QString& directory,
                                const QString& filter);
// Folder chooser; an empty text when cancelled.
QString promptExistingDirectory(QWidget* parent, const QString& caption, const QString& directory);
// The program's title: the caption of every message box.
inline constexpr const char* kAppTitle = "Kov Viewer5";
// Modal message box with the program's title, the given icon and buttons. Unattended, the text
// goes to stderr instead and the answer is the one Esc would give.
QMessageBox::StandardButton ShowMessage(QWidget* parent, QMessageBox::Icon icon,
                                        const QString& text,
                                        QMessageBox::StandardButtons buttons = QMessageBox::Ok);
// A run with nobody to press a button (measuring the start-up, printing from the command line).
void setUnattended(bool unattended);

// Runs the dialog modally (exec) unless a stand-in is installed.
int runModal(QDialog& dialog);
// The dialog's "OK" (control 1, the default button) and "キャンセル" (control 2) buttons, accepting
// and rejecting it; the caller places the box.
QDialogButtonBox* okCancelButtons(QDialog* dialog);

}  // namespace kov

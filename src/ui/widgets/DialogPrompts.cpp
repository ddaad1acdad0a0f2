#include "ui/widgets/DialogPrompts.h"

#include <QDialog>
#include <QFileDialog>
#include <QGuiApplication>

namespace kov {

DialogPrompts& testPrompts() {
    static DialogPrompts prompts;
    return prompts;
}

QStringList promptOpenFileNames(QWidget* parent, const QString& caption, const QString& directory,
                                const QString& filter) {
    if (testPrompts().openFileNames)
        return testPrompts().openFileNames(parent, caption, directory, filter);
    return QFileDialog::getOpenFileNames(parent, caption, directory, filter);
}

QString promptExistingDirectory(QWidget* parent, const QString& caption, const QString& directory) {
    if (testPrompts().existingDirectory)
        return testPrompts().existingDirectory(parent, caption, directory);
    return QFileDialog::getExistingDirectory(parent, caption, directory);
}

QMessageBox::StandardButton ShowMessage(QWidget* parent, QMessageBox::Icon icon,
                                        const QString& text, QMessageBox::StandardButtons buttons) {
    if (testPrompts().message) return testPrompts().message(parent, icon, text, buttons);
    QMessageBox box(icon, QString::fromUtf8(kAppTitle), text, buttons, parent);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

int runModal(QDialog& dialog) {
    if (testPrompts().runModal) return testPrompts().runModal(dialog);
    return dialog.exec();
}

}  // namespace kov

#include "ui/widgets/DialogPrompts.h"

#include <QDialog>
#include <QFileDialog>
#include <QGuiApplication>

namespace kov {

DialogPrompts& TestPrompts() {
    static DialogPrompts prompts;
    return prompts;
}

QStringList PromptOpenFileNames(QWidget* parent, const QString& caption, const QString& directory,
                                const QString& filter) {
    if (TestPrompts().openFileNames)
        return TestPrompts().openFileNames(parent, caption, directory, filter);
    return QFileDialog::getOpenFileNames(parent, caption, directory, filter);
}

QString PromptExistingDirectory(QWidget* parent, const QString& caption, const QString& directory) {
    if (TestPrompts().existingDirectory)
        return TestPrompts().existingDirectory(parent, caption, directory);
    return QFileDialog::getExistingDirectory(parent, caption, directory);
}

QMessageBox::StandardButton ShowMessage(QWidget* parent, QMessageBox::Icon icon,
                                        const QString& text, QMessageBox::StandardButtons buttons) {
    if (TestPrompts().message) return TestPrompts().message(parent, icon, text, buttons);
    QString title = QGuiApplication::applicationDisplayName();
    if (title.isEmpty()) title = QStringLiteral("Kov Viewer5");
    QMessageBox box(icon, title, text, buttons, parent);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

int RunModal(QDialog& dialog) {
    if (TestPrompts().runModal) return TestPrompts().runModal(dialog);
    return dialog.exec();
}

}  // namespace kov

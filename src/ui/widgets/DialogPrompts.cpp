// SPDX-License-Identifier: MIT
#include "ui/widgets/DialogPrompts.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QGuiApplication>
#include <QPushButton>
#include <cstdio>

namespace kov {

namespace {
bool g_unattended = false;
}  // namespace

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
    if (g_unattended) {
        std::fprintf(stderr, "kovview: %s\n", text.toUtf8().constData());
        for (QMessageBox::StandardButton escape : {QMessageBox::Cancel, QMessageBox::No})
            if (buttons & escape) return escape;
        return QMessageBox::Ok;
    }
    QMessageBox box(icon, QString::fromUtf8(kAppTitle), text, buttons, parent);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

void setUnattended(bool unattended) {
    g_unattended = unattended;
}

int runModal(QDialog& dialog) {
    if (testPrompts().runModal) return testPrompts().runModal(dialog);
    return dialog.exec();
}

QDialogButtonBox* okCancelButtons(QDialog* dialog) {
    auto* buttons = new QDialogButtonBox(dialog);
    QPushButton* ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    ok->setObjectName(QStringLiteral("1"));
    ok->setDefault(true);
    QPushButton* cancel =
        buttons->addButton(QStringLiteral("キャンセル"), QDialogButtonBox::RejectRole);
    cancel->setObjectName(QStringLiteral("2"));
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    return buttons;
}

}  // namespace kov

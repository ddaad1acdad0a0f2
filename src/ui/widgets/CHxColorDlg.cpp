// SPDX-License-Identifier: MIT
#include "ui/widgets/CHxColorDlg.h"

#include <array>

#include "core/base/SettingsStore.h"
#include "ui/widgets/DialogPrompts.h"

namespace kov {
namespace {

constexpr char kSection[] = "HxColorDlg";
constexpr char kKey[] = "CustumColors";
constexpr int kCustomCount = 16;

}  // namespace

QColor colorFromRef(uint32_t color) {
    return QColor(static_cast<int>(color & 0xFF), static_cast<int>((color >> 8) & 0xFF),
                  static_cast<int>((color >> 16) & 0xFF));
}

uint32_t refFromColor(const QColor& color) {
    return static_cast<uint32_t>(color.red()) | (static_cast<uint32_t>(color.green()) << 8) |
           (static_cast<uint32_t>(color.blue()) << 16);
}

CHxColorDlg::CHxColorDlg(uint32_t color, QWidget* parent) : QColorDialog(parent) {
    // The platform's own dialog may not offer custom colours.
    setOption(QColorDialog::DontUseNativeDialog);
    loadCustomColors();
    setCurrentColor(colorFromRef(color));
}

bool CHxColorDlg::GetColor(QWidget* parent, uint32_t& color) {
    CHxColorDlg dialog(color, parent);
    if (runModal(dialog) != QDialog::Accepted) return false;
    color = (color & 0xFF000000u) | dialog.color();
    return true;
}

void CHxColorDlg::loadCustomColors() {
    std::array<uint8_t, 4 * kCustomCount> bytes{};
    if (settings::readBinary(kSection, kKey, bytes.data(), bytes.size()) != bytes.size()) return;
    for (int i = 0; i < kCustomCount; ++i) {
        const uint8_t* p = bytes.data() + 4 * i;
        const uint32_t ref = p[0] | (p[1] << 8) | (static_cast<uint32_t>(p[2]) << 16);
        QColorDialog::setCustomColor(i, colorFromRef(ref));
    }
}

void CHxColorDlg::saveCustomColors() {
    std::array<uint8_t, 4 * kCustomCount> bytes{};
    for (int i = 0; i < kCustomCount; ++i) {
        const uint32_t ref = refFromColor(QColorDialog::customColor(i));
        bytes[4 * i] = static_cast<uint8_t>(ref);
        bytes[4 * i + 1] = static_cast<uint8_t>(ref >> 8);
        bytes[4 * i + 2] = static_cast<uint8_t>(ref >> 16);
        bytes[4 * i + 3] = 0;
    }
    settings::writeBinary(kSection, kKey, bytes.data(), bytes.size());
}

void CHxColorDlg::done(int result) {
    // Custom colours the user added stay, whichever way the dialog ends.
    saveCustomColors();
    QColorDialog::done(result);
}

}  // namespace kov

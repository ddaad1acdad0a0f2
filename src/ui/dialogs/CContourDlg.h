// SPDX-License-Identifier: MIT
// Sets the contour lines of the map: shown or not, the interval (by the scale, or metres of the
// user's own) and whether every 5th line is an index contour. OK stores the choice in the
// settings section "Contour".
#pragma once

#include <QDialog>
#include <optional>

#include "core/display/ContourOverlay.h"

class QCheckBox;
class QLineEdit;
class QRadioButton;

namespace kov {

class CContourDlg : public QDialog {
    Q_OBJECT
public:
    // Our own resource number (its help page is D03121.htm).
    static constexpr unsigned kResourceId = 3121;
    // Control ids (object names).
    static constexpr int kIdShow = 1001;
    static constexpr int kIdAuto = 1002;
    static constexpr int kIdFixed = 1003;
    static constexpr int kIdInterval = 1004;
    static constexpr int kIdIndexLines = 1005;

    // autoInterval: the interval the scale of the view gives now (shown beside 自動).
    CContourDlg(QWidget* parent, const ContourDisplay& display, double autoInterval);

    // The choice in the controls; an interval that is no number, or below the smallest, counts
    // as the smallest.
    ContourDisplay display() const;

    // Runs the dialog; the stored choice when it ends with OK.
    static std::optional<ContourDisplay> ask(QWidget* parent, const ContourDisplay& display,
                                             double autoInterval);

    void done(int result) override;

private:
    QCheckBox* show_ = nullptr;
    QRadioButton* auto_ = nullptr;
    QRadioButton* fixed_ = nullptr;
    QLineEdit* interval_ = nullptr;
    QCheckBox* indexLines_ = nullptr;
};

}  // namespace kov

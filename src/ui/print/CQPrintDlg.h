// SPDX-License-Identifier: MIT
// The print dialog "印刷": how the view's map area, the paper and the scale relate (three
// modes), the scale with its pop-up list of recent and usual scales, the footer items, the
// legend, the printer, and a miniature of the page with the largest printable size. Its fields
// are kept in the settings section "QPrintDlg"; OK writes them and the caller prints.
#pragma once

#include <QDialog>
#include <QImage>
#include <QTimer>
#include <array>

#include "core/print/PrintLayout.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPrinter;
class QPushButton;
class QRadioButton;

namespace kov {

class CKovVView;

class CQPrintDlg : public QDialog {
    Q_OBJECT
public:
    // Control ids (object names).
    static constexpr int kIdMode0 = 1001;  // the three mode radios, 1001..1003
    static constexpr int kIdScale = 1004;
    static constexpr int kIdScaleList = 1005;  // the "..." button
    static constexpr int kIdTitle = 1006;
    static constexpr int kIdDate = 1007;
    static constexpr int kIdTime = 1008;
    static constexpr int kIdScaleText = 1009;
    static constexpr int kIdComment = 1010;
    static constexpr int kIdCommentText = 1011;
    static constexpr int kIdLegend = 1012;
    static constexpr int kIdStatus = 1013;
    static constexpr int kIdPreview = 1014;
    static constexpr int kIdPrinter = 1015;
    static constexpr int kIdPrinterText = 1016;
    // A scale typed into the box is taken this long after the last keystroke.
    static constexpr int kTypingDelayMs = 1000;

    // The scales of the pop-up list after the history.
    static constexpr std::array<int, 14> kPresetScales = {250,    500,     1000,    2500,   5000,
                                                          10000,  25000,   50000,   100000, 200000,
                                                          500000, 1000000, 2000000, 5000000};

    // Reads the settings; the printer is the one the job will print on.
    CQPrintDlg(CKovVView& view, QPrinter& printer, QWidget* parent = nullptr);

    // The fields as they stand; the scale is the last one taken (a typed scale counts once it
    // was taken and found good).
    PrintSettings settings() const;
    // The status line and the miniature as last drawn.
    QString statusText() const;
    const QImage& preview() const { return preview_; }
    // How many times the miniature was drawn (it is drawn again after each change).
    int previewCount() const { return previewCount_; }

    // OK writes the settings.
    void done(int result) override;

private:
    void modeChanged();
    // Takes the scale typed into the box: a number of at least kMinPrintScale becomes the scale;
    // anything else is refused with a message and the box shows the last good scale again.
    bool takeTypedScale();
    void showScaleList();
    void choosePrinter();
    // Recomputes the status line and the miniature from the fields.
    void refresh();
    void drawPreview(const PrintSettings& settings);

    CKovVView& view_;
    QPrinter& printer_;
    std::array<QRadioButton*, 3> modes_{};
    QLineEdit* scale_ = nullptr;
    QPushButton* scaleList_ = nullptr;
    QCheckBox* title_ = nullptr;
    QCheckBox* date_ = nullptr;
    QCheckBox* time_ = nullptr;
    QCheckBox* scaleText_ = nullptr;
    QCheckBox* comment_ = nullptr;
    QLineEdit* commentText_ = nullptr;
    QCheckBox* legend_ = nullptr;
    QLabel* status_ = nullptr;
    QLabel* previewLabel_ = nullptr;
    QLabel* printerText_ = nullptr;
    QTimer typing_;
    QImage preview_;
    double goodScale_ = kDefaultPrintScale;
    int previewCount_ = 0;
    bool ready_ = false;  // set once the fields hold the stored settings
};

}  // namespace kov

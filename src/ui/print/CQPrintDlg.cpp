// SPDX-License-Identifier: MIT
#include "ui/print/CQPrintDlg.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPageLayout>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <cmath>

#include "core/base/NumberFormat.h"
#include "core/display/FloodLegend.h"
#include "ui/app/CKovVDoc.h"
#include "ui/print/PrintJob.h"
#include "ui/view/CKovVView.h"
#include "ui/widgets/DialogPrompts.h"

namespace kov {
namespace {

constexpr int kPreviewSize = 240;  // the miniature's box, pixels

// The plan of the printer page shrunk by f: the same places, a smaller picture.
PagePlan shrunk(const PagePlan& plan, double f) {
    auto px = [f](int v) { return static_cast<int>(std::lround(v * f)); };
    PagePlan s = plan;
    s.device = {std::max(1, px(plan.device.width)), std::max(1, px(plan.device.height)),
                std::max(1, px(plan.device.dpi))};
    s.width = std::max(1, px(plan.width));
    s.height = std::max(1, px(plan.height));
    s.left = px(plan.left);
    s.top = px(plan.top);
    s.band = px(plan.band);
    s.renderWidth = s.width;
    s.renderHeight = s.height;
    s.renderDpi = s.device.dpi;
    s.footerTop = px(plan.footerTop);
    s.footerHeight = std::max(1, px(plan.footerHeight));
    return s;
}

QString scaleBoxText(double scale) {
    return QString::fromStdString(formatShort(scale, 6));
}

}  // namespace

CQPrintDlg::CQPrintDlg(CKovVView& view, QPrinter& printer, QWidget* parent)
    : QDialog(parent), view_(view), printer_(printer) {
    setWindowTitle(QStringLiteral("印刷"));

    static const char* const kModeTexts[3] = {
        "現在の表示領域を、指定した縮尺で印刷します(&1)",
        "現在の表示領域を、現在のプリンタの設定用紙に（目いっぱいの大きさで）で印刷します(&2)",
        "現在の表示領域を中心として、縮尺を指定して、現在のプリンタの設定用紙に（目いっぱいの大き"
        "さで）で印刷します(&3)"};
    auto* modeBox = new QVBoxLayout;
    for (int i = 0; i < 3; ++i) {
        modes_[i] = new QRadioButton(QString::fromUtf8(kModeTexts[i]), this);
        modes_[i]->setObjectName(QString::number(kIdMode0 + i));
        modeBox->addWidget(modes_[i]);
        connect(modes_[i], &QRadioButton::toggled, this, [this](bool on) {
            if (on) modeChanged();
        });
    }

    auto* scaleRow = new QHBoxLayout;
    scaleRow->addWidget(new QLabel(QStringLiteral("縮尺　　1　 /"), this));
    scale_ = new QLineEdit(this);
    scale_->setObjectName(QString::number(kIdScale));
    scale_->setMaximumWidth(120);
    scaleRow->addWidget(scale_);
    scaleList_ = new QPushButton(QStringLiteral("..."), this);
    scaleList_->setObjectName(QString::number(kIdScaleList));
    scaleList_->setMaximumWidth(32);
    scaleRow->addWidget(scaleList_);
    scaleRow->addStretch();

    auto* footer = new QGroupBox(QStringLiteral("フッター"), this);
    auto* footerGrid = new QGridLayout(footer);
    auto check = [&](int id, const char* text) {
        auto* box = new QCheckBox(QString::fromUtf8(text), footer);
        box->setObjectName(QString::number(id));
        connect(box, &QCheckBox::toggled, this, &CQPrintDlg::refresh);
        return box;
    };
    title_ = check(kIdTitle, "タイトル(&T)");
    date_ = check(kIdDate, "日付(&D)");
    time_ = check(kIdTime, "時刻(&T)");
    scaleText_ = check(kIdScaleText, "縮尺(&S)");
    comment_ = check(kIdComment, "注釈(&R)");
    commentText_ = new QLineEdit(footer);
    commentText_->setObjectName(QString::number(kIdCommentText));
    connect(commentText_, &QLineEdit::textChanged, this, &CQPrintDlg::refresh);
    footerGrid->addWidget(title_, 0, 0);
    footerGrid->addWidget(date_, 0, 1);
    footerGrid->addWidget(time_, 0, 2);
    footerGrid->addWidget(scaleText_, 0, 3);
    footerGrid->addWidget(comment_, 1, 0);
    footerGrid->addWidget(commentText_, 1, 1, 1, 3);

    legend_ = new QCheckBox(QStringLiteral("凡例"), this);
    legend_->setObjectName(QString::number(kIdLegend));
    connect(legend_, &QCheckBox::toggled, this, &CQPrintDlg::refresh);

    status_ = new QLabel(this);
    status_->setObjectName(QString::number(kIdStatus));
    previewLabel_ = new QLabel(this);
    previewLabel_->setObjectName(QString::number(kIdPreview));
    previewLabel_->setFixedSize(kPreviewSize + 8, kPreviewSize + 8);
    previewLabel_->setAlignment(Qt::AlignCenter);

    auto* printerRow = new QHBoxLayout;
    auto* printerButton = new QPushButton(QStringLiteral("プリンタ(&P)..."), this);
    printerButton->setObjectName(QString::number(kIdPrinter));
    printerText_ = new QLabel(this);
    printerText_->setObjectName(QString::number(kIdPrinterText));
    printerRow->addWidget(printerButton);
    printerRow->addWidget(printerText_, 1);
    connect(printerButton, &QPushButton::clicked, this, &CQPrintDlg::choosePrinter);

    QDialogButtonBox* buttons = okCancelButtons(this);

    auto* left = new QVBoxLayout;
    left->addLayout(modeBox);
    left->addLayout(scaleRow);
    left->addWidget(footer);
    left->addWidget(legend_);
    left->addLayout(printerRow);
    left->addStretch();
    auto* top = new QHBoxLayout;
    top->addLayout(left, 1);
    top->addWidget(previewLabel_, 0, Qt::AlignTop);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(status_);
    layout->addWidget(buttons);

    // The typed scale counts one second after the last keystroke.
    typing_.setSingleShot(true);
    typing_.setInterval(kTypingDelayMs);
    connect(&typing_, &QTimer::timeout, this, [this] {
        takeTypedScale();
        refresh();
    });
    connect(scale_, &QLineEdit::textEdited, this, [this] { typing_.start(); });
    connect(scaleList_, &QPushButton::clicked, this, &CQPrintDlg::showScaleList);

    const PrintSettings s = readPrintSettings();
    goodScale_ = s.scale;
    scale_->setText(scaleBoxText(s.scale));
    title_->setChecked(s.title);
    date_->setChecked(s.date);
    time_->setChecked(s.time);
    scaleText_->setChecked(s.scaleText);
    comment_->setChecked(s.comment);
    commentText_->setText(s.commentText);
    legend_->setChecked(s.legend);
    ready_ = true;
    modes_[s.mode]->setChecked(true);  // enables the controls and draws the miniature
}

PrintSettings CQPrintDlg::settings() const {
    PrintSettings s;
    for (int i = 0; i < 3; ++i)
        if (modes_[i]->isChecked()) s.mode = i;
    s.scale = goodScale_;
    s.title = title_->isChecked();
    s.date = date_->isChecked();
    s.time = time_->isChecked();
    s.scaleText = scaleText_->isChecked();
    s.comment = comment_->isChecked();
    s.commentText = commentText_->text();
    s.legend = legend_->isChecked();
    return s;
}

QString CQPrintDlg::statusText() const {
    return status_->text();
}

void CQPrintDlg::done(int result) {
    if (result == QDialog::Accepted) {
        // A refused scale keeps the dialog open on the last good one.
        typing_.stop();
        if (!takeTypedScale()) {
            refresh();
            return;
        }
        writePrintSettings(settings());
    }
    QDialog::done(result);
}

bool CQPrintDlg::takeTypedScale() {
    const QString typed = scale_->text().trimmed();
    if (typed == scaleBoxText(goodScale_)) return true;
    bool ok = false;
    const double scale = typed.toDouble(&ok);
    if (ok && std::isfinite(scale) && scale >= kMinPrintScale) {
        goodScale_ = scale;
        return true;
    }
    ShowMessage(this, QMessageBox::Warning,
                QStringLiteral("縮尺「1 / %1」は使えません。縮尺の分母には %2 以上の数値を入力して"
                               "ください。")
                    .arg(typed, scaleBoxText(kMinPrintScale)));
    scale_->setText(scaleBoxText(goodScale_));
    scale_->setFocus();
    scale_->selectAll();
    return false;
}

void CQPrintDlg::modeChanged() {
    if (typing_.isActive()) {
        typing_.stop();
        takeTypedScale();
    }
    const int mode = settings().mode;
    const bool scaleGiven = mode == kPrintAtScale || mode == kPrintScaleAround;
    scale_->setEnabled(scaleGiven);
    scaleList_->setEnabled(scaleGiven);
    refresh();
}

void CQPrintDlg::showScaleList() {
    QMenu menu(this);
    auto addScale = [&](const QString& text, double scale) {
        QAction* action = menu.addAction(text);
        connect(action, &QAction::triggered, this, [this, scale] {
            typing_.stop();
            goodScale_ = scale;
            scale_->setText(scaleBoxText(scale));
            refresh();
        });
    };
    for (int scale : readScaleHistory())
        addScale(QString::asprintf(" 1 / %d ", scale), scale);
    menu.addSeparator();
    for (int scale : kPresetScales)
        addScale(QStringLiteral(" 1 / %1 ").arg(QString::fromStdString(formatGrouped(scale, 0))),
                 scale);
    menu.exec(scaleList_->mapToGlobal(QPoint(0, scaleList_->height())));
}

void CQPrintDlg::choosePrinter() {
    QPrintDialog dialog(&printer_, this);
    runModal(dialog);
    refresh();
}

void CQPrintDlg::refresh() {
    if (!ready_) return;
    const PrintSettings s = settings();
    const PrintDevice device = printDeviceOf(printer_);
    const CKovVDoc* document = view_.document();
    const bool flood = document && document->meshes() && hasRankedFloodResult(*document->meshes());
    const PrintableArea area = printableArea(device, s.legend, flood);
    const std::optional<PaperLayout> paper =
        paperLayout(s.mode, view_.viewport().world(), s.scale, area);
    status_->setText(printLimitText(area, !paper || paper->fits));

    const QString printerName =
        printer_.outputFileName().isEmpty() ? printer_.printerName() : printer_.outputFileName();
    const QPageLayout page = printer_.pageLayout();
    printerText_->setText(
        QStringLiteral("%1　%2 %3")
            .arg(printerName.isEmpty() ? QStringLiteral("（プリンタなし）") : printerName,
                 page.pageSize().name(),
                 page.orientation() == QPageLayout::Landscape ? QStringLiteral("横")
                                                              : QStringLiteral("縦")));
    drawPreview(s);
}

void CQPrintDlg::drawPreview(const PrintSettings& s) {
    ++previewCount_;
    const PrintDevice device = printDeviceOf(printer_);
    preview_ = QImage(kPreviewSize, kPreviewSize, QImage::Format_RGB32);
    preview_.fill(palette().color(QPalette::Window));
    if (device.width > 0 && device.height > 0) {
        const double f = std::min(double(kPreviewSize - 2) / device.width,
                                  double(kPreviewSize - 2) / device.height);
        const QRect paper(0, 0, std::max(1, int(device.width * f)),
                          std::max(1, int(device.height * f)));
        QPainter painter(&preview_);
        painter.translate((kPreviewSize - paper.width()) / 2, (kPreviewSize - paper.height()) / 2);
        painter.fillRect(paper, Qt::white);
        const std::optional<PagePlan> plan = planViewPage(s, view_, printer_);
        CKovVDoc* document = view_.document();
        if (plan && document && document->meshes()) {
            const PageStyle style = view_.pageStyle();
            painter.setClipRect(paper);
            drawPlannedPage(painter, *document->meshes(), shrunk(*plan, f), style);
            painter.setClipping(false);
        }
        painter.setPen(QColor(0, 0, 255));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(paper.adjusted(0, 0, -1, -1));
    }
    previewLabel_->setPixmap(QPixmap::fromImage(preview_));
}

}  // namespace kov

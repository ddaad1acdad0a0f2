// SPDX-License-Identifier: MIT
#include "ui/measure/CMeasureMsgDlg.h"

#include <QClipboard>
#include <QGridLayout>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QStyleOptionFrame>
#include <algorithm>

#include "core/base/SettingsStore.h"
#include "ui/app/CKovVApp.h"
#include "ui/measure/ToolWindow.h"

namespace kov {
namespace {

constexpr char kSection[] = "MeasureMsgDlg";

// The longest texts the rows show: the widths the window keeps for them.
const char* const kWidestLabels[] = {"区間距離", "延長距離", "面　　積", "勾　　配"};
const char* const kWidestValues[] = {"10,000,000.0 (㎡)", "-89.99(Deg) -9999.99(%)"};

// The width of a line edit that shows `textWidth` pixels of text without scrolling.
int lineEditWidthFor(QLineEdit* edit, int textWidth) {
    QStyleOptionFrame option;
    option.initFrom(edit);
    option.rect = edit->rect();
    option.lineWidth = edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, edit);
    option.midLineWidth = 0;
    option.state |= QStyle::State_Sunken;
    option.features = QStyleOptionFrame::None;
    const QMargins text = edit->textMargins();
    const QMargins contents = edit->contentsMargins();
    // The line edit keeps 2 pixels each side of its text; a few more keep the last character
    // clear of the frame and the cursor.
    const int inner =
        textWidth + 2 * 2 + 10 + text.left() + text.right() + contents.left() + contents.right();
    return edit->style()
        ->sizeFromContents(QStyle::CT_LineEdit, &option, QSize(inner, edit->sizeHint().height()),
                           edit)
        .width();
}

// A stored top-left corner is used when both numbers are at least 1 and the corner lies more
// than 32 pixels inside the screen.
bool storedPositionFits(QPoint position, QSize screen) {
    return position.x() >= 1 && position.y() >= 1 && position.x() < screen.width() - 32 &&
           position.y() < screen.height() - 32;
}

}  // namespace

CMeasureMsgDlg::CMeasureMsgDlg(QWidget* parent) : QDialog(parent) {
    setObjectName(QString::number(kResourceId));
    setProperty("helpId", kResourceId);  // help mode opens its page; F1 below
    setWindowTitle(QStringLiteral("図上計測"));
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);

    auto* grid = new QGridLayout(this);
    grid->setSizeConstraint(QLayout::SetFixedSize);
    for (int row = 0; row < kRowCount; ++row) {
        labels_[row] = new QLabel(this);
        labels_[row]->setObjectName(QString::number(kIdLabel0 + row));
        values_[row] = new QLineEdit(this);
        values_[row]->setObjectName(QString::number(kIdValue0 + row));
        values_[row]->setReadOnly(true);
        grid->addWidget(labels_[row], row, 0);
        grid->addWidget(values_[row], row, 1);
    }
    int labelWidth = 0;
    for (const char* text : kWidestLabels)
        labelWidth = std::max(labelWidth,
                              labels_[0]->fontMetrics().horizontalAdvance(QString::fromUtf8(text)));
    int valueWidth = 0;
    for (const char* text : kWidestValues)
        valueWidth = std::max(valueWidth,
                              values_[0]->fontMetrics().horizontalAdvance(QString::fromUtf8(text)));
    valueWidth = lineEditWidthFor(values_[0], valueWidth);
    for (int row = 0; row < kRowCount; ++row) {
        labels_[row]->setMinimumWidth(labelWidth);
        values_[row]->setMinimumWidth(valueWidth);
    }

    copy_ = new QPushButton(QStringLiteral("コピー(&C)"), this);
    copy_->setObjectName(QString::number(kIdCopy));
    connect(copy_, &QPushButton::clicked, this,
            [this] { QGuiApplication::clipboard()->setText(copyText()); });
    grid->addWidget(copy_, 0, 2, Qt::AlignTop);
    makeToolWindow(*this);
}

CMeasureMsgDlg::~CMeasureMsgDlg() {
    // A window never shown has no position of its own to keep.
    if (!positionApplied_) return;
    // The inner corner, the one a window can be placed by before the window manager has framed
    // it: the frame's corner given back there would put the window a title bar higher each time.
    const QPoint corner = geometry().topLeft();
    settings::writeInt(kSection, "XPos", corner.x());
    settings::writeInt(kSection, "YPos", corner.y());
}

void CMeasureMsgDlg::setLabel(int row, const QString& text) {
    if (row >= 0 && row < kRowCount) labels_[row]->setText(text);
}

void CMeasureMsgDlg::setValue(int row, const QString& text) {
    if (row >= 0 && row < kRowCount) values_[row]->setText(text);
}

void CMeasureMsgDlg::hideRows(int fromRow) {
    for (int row = std::max(fromRow, 0); row < kRowCount; ++row) {
        labels_[row]->hide();
        values_[row]->hide();
    }
}

QString CMeasureMsgDlg::copyText() const {
    QString text;
    for (const QLineEdit* value : values_)
        if (!value->isHidden()) text += value->text() + QStringLiteral("\r\n");
    return text;
}

void CMeasureMsgDlg::setVisible(bool visible) {
    // Placed before the window appears, so that it never shows at another place first.
    if (visible && !positionApplied_) {
        positionApplied_ = true;
        const QPoint stored(settings::readInt(kSection, "XPos", -1),
                            settings::readInt(kSection, "YPos", -1));
        const QScreen* where = screen() ? screen() : QGuiApplication::primaryScreen();
        if (where && storedPositionFits(stored, where->virtualSize()))
            setGeometry(QRect(stored, size()));
    }
    QDialog::setVisible(visible);
}

void CMeasureMsgDlg::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_F1 && event->modifiers() == Qt::NoModifier) {
        if (CKovVApp* app = CKovVApp::instance()) {
            app->WinHelp(kHelpIdResource + kResourceId, kHelpContext);
            return;
        }
    }
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        // Esc closes the window as its close box does (and so ends the measuring track).
        close();
        return;
    }
    QDialog::keyPressEvent(event);
}

}  // namespace kov

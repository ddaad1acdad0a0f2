// SPDX-License-Identifier: MIT
// The fixture of window tests: one application, a settings file of their own, and message boxes
// that are recorded (with their icon and buttons) and answered with `answer` instead of shown.
#pragma once

#include <QImage>
#include <QMessageBox>
#include <QString>
#include <QWidget>
#include <functional>
#include <memory>
#include <vector>

#include "core/base/SettingsStore.h"
#include "support/SampleSuite.h"
#include "support/TestSupport.h"
#include "support/ui/TestApplication.h"
#include "ui/app/CKovVDoc.h"
#include "ui/app/CMainFrame.h"
#include "ui/widgets/DialogPrompts.h"

namespace kov::test {

struct Message {
    QMessageBox::Icon icon;
    QString text;
    QMessageBox::StandardButtons buttons;
};

template <class Base>
class WindowTestOf : public Base {
protected:
    static void SetUpTestSuite() {
        ensureApplication();
        Base::SetUpTestSuite();
    }
    void SetUp() override {
        settings::setLocation(settingsDir.file("kov.ini"));
        testPrompts().message = [this](QWidget*, QMessageBox::Icon icon, const QString& text,
                                       QMessageBox::StandardButtons buttons) {
            messages.push_back({icon, text, buttons});
            return answer;
        };
    }
    void TearDown() override {
        testPrompts() = {};
        settings::setLocation("");
    }
    // The text of the one message told: empty, and a failure, unless exactly one was told.
    QString onlyMessage() const {
        EXPECT_EQ(messages.size(), 1u);
        return messages.size() == 1 ? messages[0].text : QString();
    }

    TempDir settingsDir;
    std::vector<Message> messages;
    QMessageBox::StandardButton answer = QMessageBox::Ok;
};

// The dialog control whose objectName is the number id.
template <typename T>
T* control(const QWidget& dialog, int id) {
    T* control = dialog.findChild<T*>(QString::number(id));
    EXPECT_NE(control, nullptr) << id;
    return control;
}

// The number of pixels of the image for which counted holds.
inline int countPixels(const QImage& image, const std::function<bool(QRgb)>& counted) {
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            n += counted(image.pixel(x, y));
    return n;
}

// Writes a project of one tile of cols x rows cells of 5 m from the zone origin whose cell in
// column c and row r (row 0 the southernmost) holds code(c, r); answers the project file's path.
inline std::string writeCodedProject(const TempDir& dir, int cols, int rows,
                                     const std::function<int(int c, int r)>& code) {
    TileSpec tile;
    tile.cols = cols;
    tile.rows = rows;
    tile.codes.assign(rows, std::vector<int>(cols));
    for (int i = 0; i < rows; ++i)
        for (int c = 0; c < cols; ++c)
            tile.codes[i][c] = code(c, rows - 1 - i);  // the file lists the northern row first
    return writeTileProject(tile, dir.path());
}

using WindowTest = WindowTestOf<::testing::Test>;
// With the sample data set of SampleSetSuite and its project file.
class SampleWindowTest : public WindowTestOf<SampleSetSuite> {
protected:
    static QString sampleProject() { return QString::fromStdString(dir->file("sample.kovv5")); }
};

// The main window, 1000 x 700, shown over the sample project.
class SampleFrameTest : public SampleWindowTest {
protected:
    void SetUp() override {
        SampleWindowTest::SetUp();
        document_ = std::make_unique<CKovVDoc>();
        frame_ = std::make_unique<CMainFrame>(document_.get());
        ASSERT_TRUE(frame_->Create());
        frame_->resize(1000, 700);
        frame_->show();
        ASSERT_TRUE(document_->OnOpenDocument(sampleProject()));
    }
    void TearDown() override {
        frame_.reset();
        document_.reset();
        SampleWindowTest::TearDown();
    }

    std::unique_ptr<CKovVDoc> document_;
    std::unique_ptr<CMainFrame> frame_;
};

}  // namespace kov::test

// SPDX-License-Identifier: MIT
// The flood estimation dialog in its two layouts: by ground height (1907, ranks up to a height)
// and by flood depth (1908, ranks from a depth up). It holds nine ranks with their colours, the
// water level, and whether the flood starts from a point picked on the map, with its boundary
// rules; the choices are kept in the settings section of the layout.
#pragma once

#include <QDialog>
#include <array>
#include <cstdint>
#include <string>

#include "core/data/FloodResult.h"

class QCheckBox;
class QLineEdit;

namespace kov {

class CColorWell;
struct FloodParameters;

class CToolFloodFillDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr unsigned kGroundHeightResource = 1907;
    static constexpr unsigned kDepthResource = 1908;
    static constexpr int kRanks = kMaxRanks;  // a row for each
    // Control ids (object names).
    static constexpr int kIdRankEdit = 2101;   // .. 2109
    static constexpr int kIdHeight = 2120;     // the water level
    static constexpr int kIdRangeMax = 2121;   // the distance limit
    static constexpr int kIdRankColor = 2301;  // .. 2309
    static constexpr int kIdClear = 2320;
    static constexpr int kIdFromStart = 2601;
    static constexpr int kIdWaterPasses = 2602;
    static constexpr int kIdNoDataPasses = 2603;
    static constexpr int kIdRange = 2604;
    static constexpr int kIdLineAsWall = 2605;
    static constexpr int kIdHelp = 9;

    // Reads the settings of the layout's section; lineAvailable: the measured trace has at
    // least two points (the wall option needs it).
    CToolFloodFillDlg(unsigned resource, bool lineAvailable, QWidget* parent = nullptr);

    // The fields, as stored by OK (or as read from the settings before).
    bool depthMode = false;
    std::string section;
    bool lineAvailable = false;
    bool fromStartPoint = false;
    bool waterPasses = false;
    bool noDataPasses = false;
    bool rangeLimit = false;
    bool lineAsWall = false;
    double height = 5.0;
    double range = 3000.0;
    std::array<std::string, kRanks> rankTexts;
    std::array<uint32_t, kRanks + 1> rankColors{};

    // The estimation's parameters from the fields (rank texts and colours in order).
    FloodParameters parameters() const;

    // OK stores the fields and writes the settings.
    void done(int result) override;

private:
    void clearRanks();
    // The first edit in use whose text is not a finite number (an empty rank is allowed).
    QLineEdit* firstBadNumber() const;
    void applyEnabling();

    std::array<QLineEdit*, kRanks> rankEdits_{};
    std::array<CColorWell*, kRanks> colorWells_{};
    QLineEdit* heightEdit_ = nullptr;
    QLineEdit* rangeEdit_ = nullptr;
    QCheckBox* fromStart_ = nullptr;
    QCheckBox* waterPassesBox_ = nullptr;
    QCheckBox* noDataPassesBox_ = nullptr;
    QCheckBox* rangeBox_ = nullptr;
    QCheckBox* wallBox_ = nullptr;
};

}  // namespace kov

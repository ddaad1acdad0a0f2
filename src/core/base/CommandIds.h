// SPDX-License-Identifier: MIT
// The command identifiers of the menus, the toolbar, the accelerators and the scroll pad. A
// command travels by its id from the action or control that raises it to the frame, document,
// view or application that handles it; the help pages of the commands are named after the ids
// ("M32777.htm"), and actions and controls carry their id as object name.
#pragma once

namespace kov {

// File menu and the application's own commands.
inline constexpr int kCmdNewProject = 57600;
inline constexpr int kCmdOpenProject = 57601;
inline constexpr int kCmdSaveProject = 57603;
inline constexpr int kCmdSaveProjectAs = 57604;
inline constexpr int kCmdPrinterSetup = 57606;
inline constexpr int kCmdPrint = 57607;               // print dialog
inline constexpr int kCmdPrintWithoutDialog = 57608;  // command-line printing
inline constexpr int kCmdFirstRecentFile = 57616;     // the recent files follow one id apart
inline constexpr int kCmdExit = 57665;
inline constexpr int kCmdChangeProject = 32771;
inline constexpr int kCmdCopyViewToClipboard = 32786;
inline constexpr int kCmdExportVisibleElevation = 33122;  // GIS raster of the visible area

// Settings menu.
inline constexpr int kCmdEditColorMap = 32777;

// View menu: the visible area, redrawing and the bars shown with the map.
inline constexpr int kCmdShowWholeArea = 33033;
inline constexpr int kCmdZoomIn = 33031;
inline constexpr int kCmdZoomOut = 33032;
inline constexpr int kCmdPan = 33034;
inline constexpr int kCmdRedraw = 33021;
inline constexpr int kCmdToggleQuickCoordinates = 32776;
inline constexpr int kCmdToggleScrollPad = 33012;
inline constexpr int kCmdToggleScaleBar = 32782;
inline constexpr int kCmdToggleSheetInfo = 32795;
inline constexpr int kCmdToggleToolBar = 59392;
inline constexpr int kCmdToggleStatusBar = 59393;
// Contour lines over the map, and their interval.
inline constexpr int kCmdToggleContours = 33120;
inline constexpr int kCmdContourSettings = 33121;

// Measurement menu, and the flood estimation, which has handlers but no entry in the menu bar.
inline constexpr int kCmdMeasureDistanceArea = 32773;
inline constexpr int kCmdMeasureDistanceSlope = 32775;
inline constexpr int kCmdClearTrace = 32788;
inline constexpr int kCmdMeasureProperties = 32785;
inline constexpr int kCmdCrossSection = 32774;
inline constexpr int kCmdFloodByGroundHeight = 32790;
inline constexpr int kCmdFloodByDepth = 32792;
inline constexpr int kCmdClearFlood = 32791;
inline constexpr int kCmdExportFlood = 33110;  // the topmost flood result as polygons

// Help menu and the help accelerators.
inline constexpr int kCmdHelpContents = 57667;
inline constexpr int kCmdAbout = 57664;
inline constexpr int kCmdHelpIndex = 57671;
inline constexpr int kCmdHelpForCurrent = 57670;  // F1
inline constexpr int kCmdHelpMode = 57669;        // Shift+F1

// Scroll pad: half a view towards the compass point (north is up), laid out like the pad
// itself; the centre starts the zoom-and-move track. The pad control has an id of its own.
inline constexpr int kCmdScrollNorthWest = 33041;
inline constexpr int kCmdScrollNorth = 33042;
inline constexpr int kCmdScrollNorthEast = 33043;
inline constexpr int kCmdScrollWest = 33044;
inline constexpr int kCmdScrollCentre = 33045;
inline constexpr int kCmdScrollEast = 33046;
inline constexpr int kCmdScrollSouthWest = 33047;
inline constexpr int kCmdScrollSouth = 33048;
inline constexpr int kCmdScrollSouthEast = 33049;
inline constexpr int kCmdScrollPad = 33050;

// Whether the id is one of the nine pad commands, the centre included.
inline constexpr bool isScrollCommand(int id) {
    return id >= kCmdScrollNorthWest && id <= kCmdScrollSouthEast;
}

// The cross-section window's menu.
inline constexpr int kCmdSaveMetafile = 32179;
inline constexpr int kCmdToggleControlPoints = 32180;
inline constexpr int kCmdCloseWindow = 57602;

// Measurements out to GIS files: the measured line (図上計測 menu) and the cross-section (the
// cross-section window's menu).
inline constexpr int kCmdExportMeasurement = 33100;
inline constexpr int kCmdExportProfile = 33101;

}  // namespace kov

// SPDX-License-Identifier: MIT
// The flood ranking of a legend: which flood result's ranks a legend shows, and the rows of
// rank colours with their heights ("%s(m)～").
#pragma once

#include <QColor>
#include <QFont>
#include <QRect>
#include <QString>

class QPainter;

namespace kov {

class HMeshProject;
struct FloodRank;
struct FloodResult;

// The topmost flood result that has ranks; null when there is none.
const FloodResult* rankedFloodResult(const HMeshProject& project);
// Whether the legend band carries the flood ranking rows (print uses it for its band height).
bool hasRankedFloodResult(const HMeshProject& project);
// The label of a rank: its height in metres, "%s(m)～".
QString floodRankLabel(double height);
QColor floodRankColor(const FloodRank& rank);
// Draws the ranks as colour boxes with their labels, left to right, wrapping into as many rows
// of the given height as the area holds; ranks that do not fit are left out. Answers the number
// of ranks drawn.
int drawFloodRankRows(QPainter& painter, const FloodResult& flood, const QRect& area, int rowHeight,
                      const QFont& font);

}  // namespace kov

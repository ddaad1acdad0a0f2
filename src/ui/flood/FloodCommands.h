// SPDX-License-Identifier: MIT
// The flood estimation commands of the document: by ground height (32790) and by flood depth
// (32792), over the whole area or from a point picked on the map, clearing the results (32791)
// and saving the topmost one's ranks as polygons (33110).
#pragma once

namespace kov {

class CKovVDoc;
struct FPoint;
struct FloodParameters;

// Registers the four commands with the document.
void registerFloodCommands();

// Runs the flood from a picked start point and adds the result layer (image display switched
// on, views repainted); false when the point gives nothing (outside the data, nothing filled),
// so that the picking goes on. wallFromTrace: the document's measured trace stops the flood.
bool runFloodFromPoint(CKovVDoc& document, const FloodParameters& parameters, bool wallFromTrace,
                       const FPoint& start);

}  // namespace kov

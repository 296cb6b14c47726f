#pragma once
// Paints the scope's plot into an image: white background, the dotted zero line
// and grid, the reference set in silver, the current set's channels and the
// information box. No antialiasing. It never shows a message: a reference whose
// sample time differs is not drawn and reported, for the caller to drop it and
// tell the user once.

#include "scope/sampleset.h"

#include <QImage>
#include <QSize>

namespace quenor {

struct ScopeDrawInput {
    TSampleSet* current = nullptr;
    TSampleSet* reference = nullptr;
    int scrollPosition = 0;  // in divisions
    bool infoBox = true;
    int family = 0;          // of the information box's values
};

struct ScopeDrawResult {
    int scrollMaximum = 0;   // 0: the scroll bar is disabled
    int scrollPosition = 0;  // the position used, within 0..maximum
    bool referenceDropped = false;
};

// The image is made size (at least 1 × 1) and fully repainted.
ScopeDrawResult DrawScope(QImage& image, QSize size, const ScopeDrawInput& in);

}  // namespace quenor

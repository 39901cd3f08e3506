#pragma once
// The papers a printer offers and which of them the paper list of the label wizard shows as
// chosen for the sheet.

#include "framework/geometry.h"
#include "framework/types.h"

#include <vector>

struct PaperInfo {
    int code = 0;    // the paper's Windows code, 256 for a paper without one
    int width = 0;   // portrait, in tenths of a millimetre
    int height = 0;
    CString name;
};

// What is offered when the printer's papers cannot be read: A4, code 9.
std::vector<PaperInfo> FallbackPaperList();

// Which radio button orients the paper list's sizes.
enum class PaperTurn { None, Portrait, Landscape };

struct PaperListChoice {
    // The paper index of each entry of the list: papers without a name get no entry, and every
    // entry keeps the index of its own paper.
    std::vector<int> entries;
    int selected = -1;  // entry index, -1 for none
    // When no paper matched the sheet, the paper whose size (as the radio buttons orient it)
    // and code the sheet takes; -1 when the sheet keeps its own.
    int fallback = -1;
};

// The paper list for a sheet of the given size and orientation (1 portrait, else landscape):
// the first named paper whose size matches, in the sheet's orientation, is selected. With no
// match the sheet takes paper 0 and then every A4 paper in turn, so that the last A4 wins and is
// selected.
PaperListChoice ChoosePaper(const std::vector<PaperInfo>& papers, int paperWidth, int paperHeight,
                            int orientation);

// A paper's width and height as the radio buttons orient it (unchanged when neither is checked:
// `current` is returned).
CSize OrientedPaperSize(const PaperInfo& paper, PaperTurn turn, CSize current);

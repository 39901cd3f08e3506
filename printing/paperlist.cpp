#include "printing/paperlist.h"

#include "framework/geometry.h"

std::vector<PaperInfo> FallbackPaperList()
{
    return {PaperInfo {9, 2100, 2970, QStringLiteral("A4")}};
}

PaperListChoice ChoosePaper(const std::vector<PaperInfo>& papers, int paperWidth, int paperHeight,
                            int orientation)
{
    PaperListChoice choice;
    for (int i = 0; i < int(papers.size()); ++i) {
        const PaperInfo& p = papers[std::size_t(i)];
        if (p.name.isEmpty())
            continue;
        choice.entries.push_back(i);
        const bool matches = orientation == 1
                                 ? paperWidth == p.width && paperHeight == p.height
                                 : paperWidth == p.height && paperHeight == p.width;
        if (choice.selected < 0 && matches)
            choice.selected = int(choice.entries.size()) - 1;
    }
    if (choice.selected >= 0 || papers.empty())
        return choice;
    choice.fallback = 0;
    for (int i = 0; i < int(papers.size()); ++i) {
        if (papers[std::size_t(i)].code != 9)
            continue;
        choice.fallback = i;
        for (int e = 0; e < int(choice.entries.size()); ++e) {
            if (choice.entries[std::size_t(e)] == i)
                choice.selected = e;
        }
    }
    return choice;
}

CSize OrientedPaperSize(const PaperInfo& paper, PaperTurn turn, CSize current)
{
    switch (turn) {
    case PaperTurn::Portrait: return CSize(paper.width, paper.height);
    case PaperTurn::Landscape: return CSize(paper.height, paper.width);
    case PaperTurn::None: break;
    }
    return current;
}

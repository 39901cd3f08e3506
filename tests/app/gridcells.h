// What a record grid shows of its values: the cells in sight that it cuts short.
#pragma once

#include <QAbstractItemModel>
#include <QFontMetricsF>
#include <QStyle>
#include <QTableView>

#include <string>
#include <vector>

// The cells in sight whose text is narrower than a third of the grid but wider than the room
// the cell leaves it, which the grid then draws cut short with an ellipsis; each as
// "row,column text". A cell lays its text out inside its rectangle less the style's text margin
// on either side.
inline std::vector<std::string> CutShortCells(const QTableView* grid)
{
    std::vector<std::string> cut;
    const QAbstractItemModel* model = grid->model();
    if (!model)
        return cut;
    const QFontMetricsF metrics(grid->font());
    const int margin = grid->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, grid) + 1;
    const int height = grid->viewport()->height();
    for (int r = std::max(grid->rowAt(0), 0); r < model->rowCount() && grid->rowViewportPosition(r) < height; ++r)
        for (int c = 0; c < model->columnCount(); ++c) {
            const QModelIndex index = model->index(r, c);
            const QString text = index.data().toString();
            const qreal needed = metrics.horizontalAdvance(text);
            if (text.isEmpty() || needed >= grid->width() / 3.0)
                continue;
            if (needed > grid->visualRect(index).width() - 2 * margin)
                cut.push_back(QStringLiteral("%1,%2 %3").arg(r).arg(c).arg(text).toStdString());
        }
    return cut;
}

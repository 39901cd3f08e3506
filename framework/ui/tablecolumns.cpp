#include "framework/ui/tablecolumns.h"

#include <QEvent>
#include <QHeaderView>
#include <QTableView>

#include <algorithm>

namespace {

constexpr int kMeasuredRows = 64;

class CColumnFitter : public QObject
{
public:
    explicit CColumnFitter(QTableView* view) : QObject(view) { view->installEventFilter(this); }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Show)
            FitColumnsToContents(static_cast<QTableView*>(watched));
        return false;
    }
};

}  // namespace

void FitColumnsToContents(QTableView* view)
{
    const QAbstractItemModel* model = view ? view->model() : nullptr;
    if (!model)
        return;
    const int rows = model->rowCount();
    const int first = std::clamp(view->rowAt(0), 0, std::max(rows - 1, 0));
    const int last = std::min(rows, first + kMeasuredRows);
    const int widest = std::max(view->viewport()->width(), view->width()) / 3;
    QHeaderView* header = view->horizontalHeader();
    for (int c = 0; c < model->columnCount(); ++c) {
        int width = header->isHidden() ? 0 : header->sectionSizeHint(c);
        for (int r = first; r < last; ++r)
            width = std::max(width, view->sizeHintForIndex(model->index(r, c)).width());
        if (widest > 0)
            width = std::min(width, widest);
        header->resizeSection(c, std::max(width, header->minimumSectionSize()));
    }
}

void KeepColumnsFitted(QTableView* view)
{
    if (!view || !view->model())
        return;
    new CColumnFitter(view);
    QObject::connect(view->model(), &QAbstractItemModel::modelReset, view, [view] { FitColumnsToContents(view); });
    QObject::connect(view->model(), &QAbstractItemModel::layoutChanged, view, [view] { FitColumnsToContents(view); });
    FitColumnsToContents(view);
}

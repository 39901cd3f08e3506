#include "framework/ui/tablecolumns.h"

#include <QEvent>
#include <QHeaderView>
#include <QResizeEvent>
#include <QTableView>

#include <algorithm>

namespace {

constexpr int kMeasuredRows = 64;

class CColumnFitter : public QObject
{
public:
    explicit CColumnFitter(QTableView* view) : QObject(view), m_view(view), m_viewport(view->viewport())
    {
        view->installEventFilter(this);
        m_viewport->installEventFilter(this);
    }

    // A grid is laid out after it is filled and often after it is shown (a wizard's page, a
    // dialog's layout), and a user makes its window wider or narrower: the third it may give a
    // column is known only once the grid and its viewport have their width.
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        // The grid's own members are called only for these two events: others also come while
        // the grid is being destroyed, when it is a table no longer.
        if (event->type() == QEvent::Show && watched == m_view)
            FitColumnsToContents(m_view);
        else if (event->type() == QEvent::Resize && watched == m_viewport
                 && static_cast<QResizeEvent*>(event)->size().width() != static_cast<QResizeEvent*>(event)->oldSize().width())
            FitColumnsToContents(m_view);
        return false;
    }

private:
    QTableView* m_view;
    QWidget* m_viewport;
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
    // A cell's text has its section less the grid line that the table draws at its right.
    const int gridLine = view->showGrid() ? 1 : 0;
    QHeaderView* header = view->horizontalHeader();
    for (int c = 0; c < model->columnCount(); ++c) {
        int width = header->isHidden() ? 0 : header->sectionSizeHint(c);
        for (int r = first; r < last; ++r)
            width = std::max(width, view->sizeHintForIndex(model->index(r, c)).width() + gridLine);
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

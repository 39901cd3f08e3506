#pragma once
// Record grids show their values whole where they can: each column as wide as the widest of its
// header and of the first rows it shows, but no wider than a third of the grid's width.

class QTableView;

// Sizes the columns of the view now, from its header and its first 64 rows from the top one in
// sight (a grid of a million records reads no more than those).
void FitColumnsToContents(QTableView* view);
// Fits the columns now and again whenever the view is shown, becomes wider or narrower, or its
// model takes new rows or columns (the model must be set).
void KeepColumnsFitted(QTableView* view);

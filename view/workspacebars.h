#pragma once
// The docking bars around the editing view: the two palettes of the main frame (linear and 2-D
// barcodes, text components), whose leaves are dragged onto the label, and the objects bar
// of each child frame, whose tree lists the label's text and code objects.
//
// A palette drag: pressing a leaf and moving starts it; while the mouse is over the active
// editing view the view creates the entry's object and keeps it centred on the cursor; leaving
// the view removes the object again; releasing ends the drag and keeps whatever was placed.

#include "framework/types.h"

#include <QDockWidget>
#include <QImage>
#include <QPointer>
#include <functional>
#include <memory>
#include <vector>

class CCompItem;
class CDrawView;
class QLabel;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

class CWorkSpaceBase : public QDockWidget {
    Q_OBJECT
public:
    CWorkSpaceBase(int treeId, QWidget* parent = nullptr);
    ~CWorkSpaceBase() override;

    QTreeWidget* Tree() const { return m_tree; }
    // The editing view of the active child frame, or null when no label is open.
    std::function<CDrawView*()> m_activeView;

    // The drag protocol, in screen coordinates (the tree's mouse handling drives it).
    BOOL BeginDrag(QTreeWidgetItem* item);
    void DragMove(QPoint screen);
    void EndDrag();
    BOOL IsDragging() const { return m_bDragging; }
    // The picture shown while an entry is dragged inside the tree: its icon and caption on grey,
    // at least 50 x 50 pixels.
    QImage CreateDragImage(QTreeWidgetItem* item) const;

    // The entry's palette item, or null for the root and group items.
    static CCompItem* CompItemOf(const QTreeWidgetItem* item);

    enum class DragCursor { Arrow, NoDrop, Drop };
    DragCursor CurrentDragCursor() const { return m_cursor; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    // A group of the palette: its caption's string and its entries (the bar owns their items).
    using Group = std::pair<UINT, std::vector<std::pair<CString, CCompItem*>>>;
    // Fills the tree: a root, the groups and their entries, with the images of the bitmap.
    void BuildPalette(UINT bitmap, UINT rootString, const std::vector<Group>& groups, int barIcon);
    void SetDragCursor(DragCursor cursor);

    QTreeWidget* m_tree;
    QTreeWidgetItem* m_root = nullptr;
    std::vector<QImage> m_images;
    std::vector<std::unique_ptr<CCompItem>> m_items;

private:
    void OnItemExpandedChanged(QTreeWidgetItem* item, bool expanded);

    QTreeWidgetItem* m_dragItem = nullptr;
    QTreeWidgetItem* m_pressItem = nullptr;
    QPoint m_pressPos;
    BOOL m_bDragging = FALSE;
    DragCursor m_cursor = DragCursor::Arrow;
    QLabel* m_dragImage = nullptr;
    QPointer<CDrawView> m_dragView;
};

class CBarcodesWorkSpaceBar : public CWorkSpaceBase {
    Q_OBJECT
public:
    explicit CBarcodesWorkSpaceBar(QWidget* parent = nullptr);
    // The captions of the 14 linear symbologies, in id order; built into the program.
    static const std::vector<CString>& Captions();
};

class CComponentsWorkSpaceBar : public CWorkSpaceBase {
    Q_OBJECT
public:
    explicit CComponentsWorkSpaceBar(QWidget* parent = nullptr);
};

// The objects of the label of a child frame; clicking one selects it alone in the document's
// editing view, moving to one with the keys adds it to the selection.
class CObjectsWorkSpaceBar : public QDockWidget {
    Q_OBJECT
public:
    explicit CObjectsWorkSpaceBar(QWidget* parent = nullptr);
    QTreeWidget* Tree() const { return m_tree; }
    std::function<CDrawView*()> m_view;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QTreeWidget* m_tree;
};

// The data source of the label of a child frame: a button that starts the database set-up
// (command 32934) above the tree of the source, its table and fields; the tree's root offers
// the database menu.
class CDatabaseWorkSpaceBar : public QDockWidget {
    Q_OBJECT
public:
    explicit CDatabaseWorkSpaceBar(QWidget* parent = nullptr);
    QTreeWidget* Tree() const { return m_tree; }
    QPushButton* Button() const { return m_button; }

private:
    void OnTreeMenu(const QPoint& pos);

    QTreeWidget* m_tree;
    QPushButton* m_button;
};

#include "view/workspacebars.h"

#include "framework/resourcemanager.h"
#include "framework/resourcemodule.h"
#include "framework/ui/commandrouter.h"
#include "objects/drawtext.h"
#include "symbology/drawbarcode.h"
#include "symbology/drawdatamatrix.h"
#include "symbology/drawpdf417.h"
#include "symbology/drawqrcode.h"
#include "view/compitem.h"
#include "view/drawtool.h"
#include "view/drawview.h"

#include <QApplication>
#include <QFontMetrics>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <optional>

namespace {

constexpr UINT kBarIcons = 156;
constexpr int kEntryImage = 2;
constexpr UINT kStrLinearGroup = 5;
constexpr UINT kStr2DGroup = 6;
constexpr UINT kDropCursor = 154;
constexpr UINT kStrSetupWizard = 14;
constexpr UINT kCmdDatabaseSetup = 32934;
constexpr int kDatabaseTree = 32933;
constexpr UINT kContextMenu = 103;
constexpr int kDatabaseMenu = 1;

CString String(UINT id)
{
    return CResourceModule::Get().LoadString(id);
}

QIcon IconOf(const std::vector<QImage>& images, int index)
{
    if (index < 0 || index >= int(images.size()))
        return {};
    return QIcon(QPixmap::fromImage(images[std::size_t(index)]));
}

// The bars' own icons: pictures of one magenta-keyed bitmap, cut once by the resource manager.
QIcon BarIcon(int index)
{
    CResourceManager* manager = CResourceManager::GetInstance();
    manager->LoadImages(kBarIcons);
    const QImage picture = manager->GetImage(kBarIcons, index);
    return picture.isNull() ? QIcon() : QIcon(QPixmap::fromImage(picture));
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// CWorkSpaceBase

CWorkSpaceBase::CWorkSpaceBase(int treeId, QWidget* parent) : QDockWidget(parent)
{
    m_tree = new QTreeWidget(this);
    m_tree->setObjectName(QString::number(treeId));
    m_tree->setHeaderHidden(true);
    m_tree->setRootIsDecorated(true);
    m_tree->setSelectionMode(QAbstractItemView::SingleSelection);
    m_tree->viewport()->installEventFilter(this);
    setWidget(m_tree);
    connect(m_tree, &QTreeWidget::itemExpanded, this,
            [this](QTreeWidgetItem* item) { OnItemExpandedChanged(item, true); });
    connect(m_tree, &QTreeWidget::itemCollapsed, this,
            [this](QTreeWidgetItem* item) { OnItemExpandedChanged(item, false); });
}

CWorkSpaceBase::~CWorkSpaceBase()
{
    if (m_bDragging)
        EndDrag();
}

void CWorkSpaceBase::BuildPalette(UINT bitmap, UINT rootString, const std::vector<Group>& groups,
                                  int barIcon)
{
    // The palette bitmaps are drawn on black, the bar icons on magenta.
    m_images = CResourceManager::SplitStrip(CResourceModule::Get().LoadBitmap(bitmap), 16, qRgb(0, 0, 0));
    setWindowIcon(BarIcon(barIcon));

    m_root = new QTreeWidgetItem(m_tree, QStringList(String(rootString)));
    for (const auto& [groupString, entries] : groups) {
        auto* group = new QTreeWidgetItem(m_root, QStringList(String(groupString)));
        group->setIcon(0, IconOf(m_images, 0));
        for (const auto& [caption, item] : entries) {
            auto* leaf = new QTreeWidgetItem(group, QStringList(caption));
            leaf->setIcon(0, IconOf(m_images, kEntryImage));
            leaf->setData(0, Qt::UserRole, QVariant::fromValue(reinterpret_cast<quintptr>(item)));
            m_items.emplace_back(item);
        }
        group->setExpanded(true);
    }
    m_root->setExpanded(true);
}

void CWorkSpaceBase::OnItemExpandedChanged(QTreeWidgetItem* item, bool expanded)
{
    // The root and the groups show an open or a closed folder.
    if (item && (item == m_root || item->parent() == m_root))
        item->setIcon(0, IconOf(m_images, expanded ? 1 : 0));
}

CCompItem* CWorkSpaceBase::CompItemOf(const QTreeWidgetItem* item)
{
    return item ? reinterpret_cast<CCompItem*>(item->data(0, Qt::UserRole).value<quintptr>())
                : nullptr;
}

QImage CWorkSpaceBase::CreateDragImage(QTreeWidgetItem* item) const
{
    const QString text = item ? item->text(0).left(1024) : QString();
    const QFontMetrics metrics(m_tree->font());
    const QSize textSize = text.isEmpty() ? QSize(0, 0) : metrics.size(Qt::TextSingleLine, text);
    const int width = std::max(textSize.width() + 20, 50);
    const int height = std::max(textSize.height() + 20, 50);
    QImage image(width, height, QImage::Format_ARGB32);
    image.fill(QColor(192, 192, 192));
    QPainter p(&image);
    if (item)
        p.drawPixmap(0, 0, item->icon(0).pixmap(16, 16));
    p.setFont(m_tree->font());
    p.setPen(m_tree->palette().color(QPalette::WindowText));
    p.drawText(QRect(20, 4, textSize.width() + 1, textSize.height() + 1), Qt::TextSingleLine, text);
    // Two nested dotted frames where the object will appear.
    QPen dots(Qt::black, 1, Qt::DotLine);
    p.setPen(dots);
    p.drawRect(10, 25, 14, 9);
    p.drawRect(11, 26, 12, 7);
    p.end();
    // The grey is transparent, as the mask colour of a drag image.
    for (int y = 0; y < image.height(); ++y) {
        QRgb* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x)
            if ((line[x] & 0x00FFFFFF) == 0x00C0C0C0)
                line[x] = 0;
    }
    return image;
}

BOOL CWorkSpaceBase::BeginDrag(QTreeWidgetItem* item)
{
    CDrawView* view = m_activeView ? m_activeView() : nullptr;
    // Only leaves drag, and only while a label is open.
    if (!view || !item || item->childCount() > 0 || !CompItemOf(item))
        return FALSE;
    const QImage picture = CreateDragImage(item);
    if (picture.isNull())
        return FALSE;
    m_dragItem = item;
    m_dragView = view;
    m_bDragging = TRUE;
    m_tree->setCurrentItem(item);
    if (!m_dragImage) {
        m_dragImage = new QLabel(nullptr, Qt::ToolTip | Qt::FramelessWindowHint);
        m_dragImage->setAttribute(Qt::WA_TransparentForMouseEvents);
        m_dragImage->setAttribute(Qt::WA_TranslucentBackground);
    }
    m_dragImage->setPixmap(QPixmap::fromImage(picture));
    m_dragImage->resize(picture.size());
    m_dragImage->move(QCursor::pos() - QPoint(8, 8));
    m_dragImage->show();
    m_cursor = DragCursor::Arrow;
    QApplication::setOverrideCursor(Qt::ArrowCursor);
    return TRUE;
}

void CWorkSpaceBase::SetDragCursor(DragCursor cursor)
{
    if (cursor == m_cursor)
        return;
    m_cursor = cursor;
    switch (cursor) {
    case DragCursor::Arrow:
        QApplication::changeOverrideCursor(Qt::ArrowCursor);
        break;
    case DragCursor::NoDrop:
        QApplication::changeOverrideCursor(Qt::ForbiddenCursor);
        break;
    case DragCursor::Drop:
        QApplication::changeOverrideCursor(ResourceCursor(kDropCursor, Qt::DragCopyCursor));
        break;
    }
}

void CWorkSpaceBase::DragMove(QPoint screen)
{
    CDrawView* view = m_dragView;
    if (!m_bDragging || !view)
        return;
    if (m_dragImage)
        m_dragImage->move(screen - QPoint(8, 8));
    const QRect treeRect(m_tree->mapToGlobal(QPoint(0, 0)), m_tree->size());
    if (!treeRect.contains(screen)) {
        if (m_dragImage)
            m_dragImage->hide();
        if (view->IsPointInView(screen)) {
            view->OnDropComponent(screen, CompItemOf(m_dragItem));
            SetDragCursor(DragCursor::Drop);
        } else if (m_cursor != DragCursor::NoDrop) {
            view->CancelComponentDrop();
            SetDragCursor(DragCursor::NoDrop);
        }
    } else {
        if (m_cursor == DragCursor::Drop)
            view->CancelComponentDrop();
        if (m_dragImage)
            m_dragImage->show();
        SetDragCursor(DragCursor::Arrow);
    }
}

void CWorkSpaceBase::EndDrag()
{
    if (!m_bDragging)
        return;
    m_bDragging = FALSE;
    if (m_dragImage)
        m_dragImage->hide();
    QApplication::restoreOverrideCursor();
    // What was placed over the view stays there.
    if (m_dragView)
        m_dragView->EndComponentDrop();
    m_dragView = nullptr;
    m_dragItem = nullptr;
}

bool CWorkSpaceBase::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != m_tree->viewport())
        return QDockWidget::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        auto* e = static_cast<QMouseEvent*>(event);
        if (e->button() == Qt::LeftButton) {
            m_pressItem = m_tree->itemAt(e->position().toPoint());
            m_pressPos = e->position().toPoint();
        }
        break;
    }
    case QEvent::MouseMove: {
        auto* e = static_cast<QMouseEvent*>(event);
        if (m_bDragging) {
            DragMove(e->globalPosition().toPoint());
            return true;
        }
        if ((e->buttons() & Qt::LeftButton) && m_pressItem &&
            (e->position().toPoint() - m_pressPos).manhattanLength() >= QApplication::startDragDistance()) {
            QTreeWidgetItem* item = m_pressItem;
            m_pressItem = nullptr;
            if (BeginDrag(item)) {
                DragMove(e->globalPosition().toPoint());
                return true;
            }
        }
        break;
    }
    case QEvent::MouseButtonRelease:
        m_pressItem = nullptr;
        if (m_bDragging) {
            EndDrag();
            return true;
        }
        break;
    default:
        break;
    }
    return QDockWidget::eventFilter(watched, event);
}

// ---------------------------------------------------------------------------------------------
// The palettes

const std::vector<CString>& CBarcodesWorkSpaceBar::Captions()
{
    static const std::vector<CString> captions = {
        QStringLiteral("Code 39"),      QStringLiteral("Code 39 Full ASCII"),
        QStringLiteral("Code 93"),      QStringLiteral("Code 128 Auto"),
        QStringLiteral("Code 128 A"),   QStringLiteral("Code 128 B"),
        QStringLiteral("Code 128 C"),   QStringLiteral("EAN13"),
        QStringLiteral("EAN8"),         QStringLiteral("UPC-A"),
        QStringLiteral("UPC-E"),        QStringLiteral("Interleaved 2 of 5"),
        QStringLiteral("Codabar"),      QStringLiteral("ITF-14")};
    return captions;
}

CBarcodesWorkSpaceBar::CBarcodesWorkSpaceBar(QWidget* parent) : CWorkSpaceBase(2003, parent)
{
    Group linear {kStrLinearGroup, {}};
    for (int id = 0; id < int(Captions().size()); ++id)
        linear.second.emplace_back(Captions()[std::size_t(id)],
                                   new CBarcodeCompItem(RUNTIME_CLASS(CDrawBarcode), id));
    // The 2-D symbols in a group of their own below the linear ones.
    const Group matrix {kStr2DGroup,
                        {{QStringLiteral("QR Code"), new CCode2DCompItem(RUNTIME_CLASS(CDrawQRCode))},
                         {QStringLiteral("PDF417"), new CCode2DCompItem(RUNTIME_CLASS(CDrawPDF417))},
                         {QStringLiteral("Data Matrix"), new CCode2DCompItem(RUNTIME_CLASS(CDrawDataMatrix))}}};
    BuildPalette(155, 4, {linear, matrix}, 1);
    setWindowTitle(String(4));
}

CComponentsWorkSpaceBar::CComponentsWorkSpaceBar(QWidget* parent) : CWorkSpaceBase(2002, parent)
{
    BuildPalette(152, 7,
                 {{8,
                   {{String(9), new CTextCompItem(RUNTIME_CLASS(CDrawText), 0)},
                    {String(10), new CTextCompItem(RUNTIME_CLASS(CDrawText), 1)}}}},
                 0);
    setWindowTitle(String(7));
}

// ---------------------------------------------------------------------------------------------
// CDatabaseWorkSpaceBar

CDatabaseWorkSpaceBar::CDatabaseWorkSpaceBar(QWidget* parent) : QDockWidget(parent)
{
    auto* body = new QWidget(this);
    auto* layout = new QVBoxLayout(body);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    m_button = new QPushButton(String(kStrSetupWizard), body);
    m_button->setObjectName(QString::number(kCmdDatabaseSetup));
    m_button->setFixedHeight(22);
    layout->addWidget(m_button);
    m_tree = new QTreeWidget(body);
    m_tree->setObjectName(QString::number(kDatabaseTree));
    m_tree->setHeaderHidden(true);
    m_tree->setContextMenuPolicy(Qt::CustomContextMenu);
    layout->addWidget(m_tree, 1);
    setWidget(body);
    setWindowIcon(BarIcon(3));
    // The button's command goes the way of the menu's: to the active view.
    connect(m_button, &QPushButton::clicked, this, [] {
        if (CCommandRouter* router = CDrawView::GetCommandRouter())
            router->Execute(kCmdDatabaseSetup);
    });
    connect(m_tree, &QTreeWidget::customContextMenuRequested, this, &CDatabaseWorkSpaceBar::OnTreeMenu);
}

void CDatabaseWorkSpaceBar::OnTreeMenu(const QPoint& pos)
{
    QTreeWidgetItem* item = m_tree->itemAt(pos);
    CCommandRouter* router = CDrawView::GetCommandRouter();
    const std::optional<CMenuTemplate> tmpl = CResourceModule::Get().LoadMenu(kContextMenu);
    if (!item || item != m_tree->topLevelItem(0) || !router || !tmpl)
        return;
    QList<QMenu*> menus = router->BuildMenus(*tmpl);
    if (menus.size() > kDatabaseMenu) {
        QMenu* menu = menus[kDatabaseMenu];
        menu->setParent(this, Qt::Popup);
        menu->exec(m_tree->viewport()->mapToGlobal(pos));
    }
    qDeleteAll(menus);
}

// ---------------------------------------------------------------------------------------------
// CObjectsWorkSpaceBar

CObjectsWorkSpaceBar::CObjectsWorkSpaceBar(QWidget* parent) : QDockWidget(parent)
{
    m_tree = new QTreeWidget(this);
    m_tree->setObjectName(QStringLiteral("2001"));
    m_tree->setHeaderHidden(true);
    setWidget(m_tree);
    setWindowIcon(BarIcon(2));
    connect(m_tree, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
        if (CDrawView* view = m_view ? m_view() : nullptr)
            view->OnObjectTreeSelChanged(item);
    });
    m_tree->viewport()->installEventFilter(this);
}

bool CObjectsWorkSpaceBar::eventFilter(QObject* watched, QEvent* event)
{
    // A click first empties the selection and the tree's current item, before the tree takes
    // the press: the clicked item then becomes current and selects its object alone.
    if (watched == m_tree->viewport() && event->type() == QEvent::MouseButtonPress &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton)
        if (CDrawView* view = m_view ? m_view() : nullptr)
            view->OnObjectTreeClick();
    return QDockWidget::eventFilter(watched, event);
}

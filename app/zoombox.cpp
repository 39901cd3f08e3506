#include "app/zoombox.h"

#include <QKeyEvent>
#include <QLineEdit>

QStringList CZoomText::Items()
{
    return {QStringLiteral("1600%"), QStringLiteral("800%"), QStringLiteral("600%"),
            QStringLiteral("400%"),  QStringLiteral("300%"), QStringLiteral("200%"),
            QStringLiteral("150%"),  QStringLiteral("100%"), QStringLiteral("75%"),
            QStringLiteral("50%")};
}

QString CZoomText::Format(int percent)
{
    return QString::number(percent) + u'%';
}

CZoomComboBox::CZoomComboBox(QWidget* parent) : QComboBox(parent)
{
    setObjectName(QStringLiteral("32835"));
    setEditable(true);
    // Typed text is a request, not a new entry of the list.
    setInsertPolicy(QComboBox::NoInsert);
    addItems(CZoomText::Items());
    setMaxVisibleItems(count());
    setFixedWidth(80);
    SetZoom(100);
    lineEdit()->installEventFilter(this);
    connect(this, &QComboBox::activated, this, [this](int index) { emit zoomChosen(itemText(index)); });
}

void CZoomComboBox::SetText(const CString& text)
{
    setEditText(text);
}

bool CZoomComboBox::eventFilter(QObject* watched, QEvent* event)
{
    // Only Enter inside the box's own edit field is taken; Enter anywhere else stays with its
    // widget.
    if (watched == lineEdit() && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            emit zoomEntered(lineEdit()->text());
            return true;
        }
    }
    return QComboBox::eventFilter(watched, event);
}

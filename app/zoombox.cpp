#include "app/zoombox.h"

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
    // What is typed stays as typed: "10" must not become "100%".
    setCompleter(nullptr);
    // The box has the focus and hands its keys straight to the edit field, so Enter is taken
    // where the field reports it, whichever way the key came; Enter elsewhere stays with its
    // widget.
    connect(lineEdit(), &QLineEdit::returnPressed, this, [this] { emit zoomEntered(lineEdit()->text()); });
    connect(this, &QComboBox::activated, this, [this](int index) { emit zoomChosen(itemText(index)); });
}

void CZoomComboBox::SetText(const CString& text)
{
    setEditText(text);
}

#include "framework/ui/buttoncaptions.h"

#include "framework/ui/dialogids.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialogButtonBox>
#include <QEvent>
#include <QWizard>

namespace {
struct Caption {
    int id;
    UINT stringId;
};
constexpr Caption kCaptions[] = {
    {IDOK, IDS_CAPTION_OK},         {IDYES, IDS_CAPTION_YES},
    {IDNO, IDS_CAPTION_NO},         {IDCANCEL, IDS_CAPTION_CANCEL},
    {ID_WIZFINISH, IDS_CAPTION_FINISH}, {ID_WIZNEXT, IDS_CAPTION_NEXT},
    {ID_WIZBACK, IDS_CAPTION_BACK}, {ID_APPLY_NOW, IDS_CAPTION_APPLY},
};

int IdOfStandardButton(QDialogButtonBox::StandardButton b)
{
    switch (b) {
    case QDialogButtonBox::Ok: return IDOK;
    case QDialogButtonBox::Yes: return IDYES;
    case QDialogButtonBox::No: return IDNO;
    case QDialogButtonBox::Cancel: return IDCANCEL;
    case QDialogButtonBox::Apply: return ID_APPLY_NOW;
    default: return 0;
    }
}

UINT StringOfId(int id)
{
    for (const auto& c : kCaptions)
        if (c.id == id)
            return c.stringId;
    return 0;
}
}

CButtonCaptionFilter::CButtonCaptionFilter(StringLoader loader, QObject* parent)
    : QObject(parent), m_loader(std::move(loader))
{
}

CButtonCaptionFilter* CButtonCaptionFilter::Install(StringLoader loader)
{
    auto* filter = new CButtonCaptionFilter(std::move(loader), qApp);
    qApp->installEventFilter(filter);
    return filter;
}

void CButtonCaptionFilter::Recaption(QWidget* window) const
{
    if (!window || !m_loader)
        return;
    auto text = [this](int id) -> CString {
        const UINT sid = StringOfId(id);
        return sid ? m_loader(sid) : CString();
    };
    // A missing string keeps the toolkit's caption rather than leaving a blank button.
    auto apply = [&](QAbstractButton* button, int id) {
        const CString t = text(id);
        if (button && !t.isEmpty())
            button->setText(t);
    };

    const auto boxes = window->findChildren<QDialogButtonBox*>();
    for (QDialogButtonBox* box : boxes)
        for (QAbstractButton* button : box->buttons())
            if (int id = IdOfStandardButton(box->standardButton(button)))
                apply(button, id);

    if (auto* wizard = qobject_cast<QWizard*>(window)) {
        // The wizard rewrites its captions on every page change unless they are set on it.
        const std::pair<QWizard::WizardButton, int> buttons[] = {
            {QWizard::FinishButton, ID_WIZFINISH}, {QWizard::NextButton, ID_WIZNEXT},
            {QWizard::BackButton, ID_WIZBACK},     {QWizard::CancelButton, IDCANCEL}};
        for (const auto& [which, id] : buttons) {
            const CString t = text(id);
            if (!t.isEmpty())
                wizard->setButtonText(which, t);
        }
    }

    const auto buttons = window->findChildren<QAbstractButton*>();
    for (QAbstractButton* button : buttons) {
        bool ok = false;
        const int id = button->objectName().toInt(&ok);
        if (ok && StringOfId(id))
            apply(button, id);
    }
}

bool CButtonCaptionFilter::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Show && watched->isWidgetType()) {
        auto* widget = static_cast<QWidget*>(watched);
        if (widget->isWindow())
            Recaption(widget);
    }
    return QObject::eventFilter(watched, event);
}

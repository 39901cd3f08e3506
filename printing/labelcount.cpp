#include "printing/labelcount.h"

#include "framework/ui/dialoglayout.h"
#include "printing/sheettext.h"

#include <QLineEdit>
#include <QScrollBar>

#include <algorithm>

std::optional<int> TypedLabelCount(const CString& text)
{
    const int value = ReadWholeNumber(text);
    if (value < 1)
        return std::nullopt;
    return std::min(value, kMaxLabelCount);
}

int SettledLabelCount(const CString& text)
{
    return std::clamp(ReadWholeNumber(text), 1, kMaxLabelCount);
}

std::optional<int> SteppedLabelCount(int position, int delta)
{
    const long long stepped = static_cast<long long>(position) + delta;
    if (stepped < 1)
        return std::nullopt;
    return int(std::min<long long>(stepped, kMaxLabelCount));
}

CLabelCountBox::CLabelCountBox(QLineEdit* box, QScrollBar* upDown, QObject* parent)
    : QObject(parent), m_box(box), m_upDown(upDown)
{
    if (m_upDown) {
        AttachUpDown(m_upDown, m_box);
        m_upDown->setOrientation(Qt::Vertical);
        m_upDown->setRange(0, kMaxLabelCount);
        m_upDown->setSingleStep(1);
        m_upDown->setPageStep(1);
        connect(m_upDown, &QScrollBar::actionTriggered, this, [this](int) {
            // The position already holds the step, which a scroll bar takes downwards: the up
            // arrow (and the Up key) count up. A step below 1 is taken back.
            const auto stepped = SteppedLabelCount(m_upDown->value(), m_upDown->value() - m_upDown->sliderPosition());
            if (!stepped) {
                m_upDown->setSliderPosition(m_upDown->value());
                return;
            }
            m_upDown->setSliderPosition(*stepped);
            m_updating = true;
            if (m_box)
                m_box->setText(QString::number(*stepped));
            m_updating = false;
            if (m_changed)
                m_changed(*stepped);
        });
    }
    if (m_box) {
        connect(m_box, &QLineEdit::textEdited, this, [this](const QString& text) {
            if (m_updating)
                return;
            // Below 1 the box is left as typed until it is left: the next key may make it a count.
            if (const auto typed = TypedLabelCount(text))
                Take(*typed);
            else if (m_changed)
                m_changed(1);
        });
        connect(m_box, &QLineEdit::editingFinished, this, &CLabelCountBox::Settle);
    }
}

void CLabelCountBox::SetCount(int count)
{
    m_updating = true;
    if (m_box)
        m_box->setText(QString::number(count));
    if (m_upDown)
        m_upDown->setValue(std::clamp(count, 0, kMaxLabelCount));
    m_updating = false;
}

int CLabelCountBox::Count() const
{
    return m_upDown ? m_upDown->value() : SettledLabelCount(m_box ? m_box->text() : CString());
}

void CLabelCountBox::Settle()
{
    if (!m_box)
        return;
    const int count = SettledLabelCount(m_box->text());
    if (m_box->text() != QString::number(count)) {
        m_updating = true;
        m_box->setText(QString::number(count));
        m_updating = false;
    }
    Take(count);
}

void CLabelCountBox::Take(int count)
{
    if (m_upDown)
        m_upDown->setValue(count);
    if (m_changed)
        m_changed(count);
}

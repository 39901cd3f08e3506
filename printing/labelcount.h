#pragma once
// The number of labels to print as the print and preview dialogs take it: a count box with an
// up-down control beside it. The box is corrected when it is left or when the dialog is
// accepted, never while the user types, so that a cleared box takes the next digit as typed.

#include "framework/types.h"

#include <QObject>

#include <functional>
#include <optional>

class QLineEdit;
class QScrollBar;

constexpr int kMaxLabelCount = 32767;

// What the up-down takes from text being typed: its leading whole number when that is at least
// 1 (at most kMaxLabelCount); nothing for an empty box, 0 or text that is not a number.
std::optional<int> TypedLabelCount(const CString& text);
// The count a box settles on: its leading whole number brought to 1 to kMaxLabelCount.
int SettledLabelCount(const CString& text);
// A step of the up-down from `position`: the new count, or nothing when it would fall below 1.
std::optional<int> SteppedLabelCount(int position, int delta);

// Binds a count box (control 158) and its up-down (control 159, a scroll bar whose arrows step
// the count) by the rules above.
class CLabelCountBox : public QObject
{
public:
    CLabelCountBox(QLineEdit* box, QScrollBar* upDown, QObject* parent = nullptr);

    // The box shows the count and the up-down takes it.
    void SetCount(int count);
    // The up-down's position: the count as last typed, stepped or settled.
    int Count() const;
    // Corrects the box now (the dialog's OK).
    void Settle();
    // Told every count the box or the up-down takes (typed, stepped or settled).
    std::function<void(int count)> m_changed;

private:
    void Take(int count);

    QLineEdit* m_box;
    QScrollBar* m_upDown;
    bool m_updating = false;
};

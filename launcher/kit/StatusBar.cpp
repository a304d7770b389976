#include "StatusBar.h"

#include <QProgressBar>
#include <algorithm>

#include "KitPrivate.h"

BStatusBar::BStatusBar(BRect frame, const char* name, const char* label, const char*)
    : BView(frame, name, B_FOLLOW_LEFT | B_FOLLOW_TOP, B_WILL_DRAW), fBar(new QProgressBar(_Widget()))
{
    fBar->setGeometry(0, 0, _Widget()->width(), _Widget()->height());
    fBar->setObjectName(QString::fromUtf8(name));
    fBar->setAccessibleName(QString::fromUtf8(label != nullptr ? label : name));
    fBar->setTextVisible(true);
    Reset();
}

void BStatusBar::SetMaxValue(float max)
{
    fMax = std::max(0.0f, max);
    SetTo(fValue);
}

void BStatusBar::SetTo(float value)
{
    fValue = std::clamp(value, 0.0f, fMax);
    // Per mille steps, whatever the maximum: Qt's range is integers.
    if (fMax == 0) {
        fBar->setRange(0, 0);
    } else {
        fBar->setRange(0, 1000);
        fBar->setValue(static_cast<int>(fValue / fMax * 1000));
    }
}

void BStatusBar::Reset()
{
    fValue = 0;
    SetTo(0);
}

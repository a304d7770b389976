// A bar that shows how far a task has come, from 0 to its maximum value;
// the kit's addition: a maximum of 0 shows a bar that moves to and fro, for
// a task whose progress cannot be told.
#pragma once

#include "View.h"

class QProgressBar;

class BStatusBar : public BView {
public:
    BStatusBar(BRect frame, const char* name, const char* label = nullptr, const char* trailingLabel = nullptr);
    void SetMaxValue(float max);
    float MaxValue() const { return fMax; }
    void SetTo(float value);
    void Update(float delta) { SetTo(fValue + delta); }
    float CurrentValue() const { return fValue; }
    void Reset();

private:
    QProgressBar* fBar;
    float fMax = 100, fValue = 0;
};

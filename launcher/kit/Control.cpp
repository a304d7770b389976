#include "Control.h"

#include <QCheckBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>

#include "KitPrivate.h"
#include "Window.h"

BControl::BControl(BRect frame, const char* name, const char* label, BMessage* message, uint32 resizingMode,
                   uint32 flags)
    : BView(frame, name, resizingMode, flags), fLabel(label != nullptr ? label : ""), fMessage(message)
{
}

BControl::~BControl() { delete fMessage; }

QWidget* BControl::_Host() const { return _Widget(); }

void BControl::_SetButton(QAbstractButton* button)
{
    fButton = button;
    button->setObjectName(_Widget()->objectName());
    button->setGeometry(0, 0, _Widget()->width(), _Widget()->height());
    button->setText(QString::fromUtf8(fLabel.c_str()));
    // The view's own widget passes the focus on to the button.
    _Widget()->setFocusProxy(button);
    QObject::connect(button, &QAbstractButton::clicked, [this] {
        // A radio button pressed is set, even when it was.
        if (auto* radio = dynamic_cast<BRadioButton*>(this))
            radio->SetValue(1);
        Invoke();
    });
}

void BControl::SetLabel(const char* label)
{
    fLabel = label != nullptr ? label : "";
    fButton->setText(QString::fromUtf8(fLabel.c_str()));
}

void BControl::SetValue(int32 value) { fButton->setChecked(value != 0); }
int32 BControl::Value() const { return fButton->isChecked() ? 1 : 0; }
void BControl::SetEnabled(bool enabled) { fButton->setEnabled(enabled); }
bool BControl::IsEnabled() const { return fButton->isEnabled(); }

status_t BControl::Invoke()
{
    BHandler* target = fTarget != nullptr ? fTarget : Parent();
    if (fMessage == nullptr || Window() == nullptr || target == nullptr)
        return B_BAD_VALUE;
    BMessage copy(*fMessage);
    copy.AddInt32("be:value", Value());
    return Window()->PostMessage(&copy, target);
}

namespace {

// A push button that takes a double click as one click. The second press
// of a double click would press it again: a button that changes what it
// does once pressed (Convert becoming Stop) would at once undo the first.
class SingleClickButton : public QPushButton {
public:
    using QPushButton::QPushButton;

protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override { event->accept(); }
};

}  // namespace

BButton::BButton(BRect frame, const char* name, const char* label, BMessage* message, uint32 resizingMode, uint32 flags)
    : BControl(frame, name, label, message, resizingMode, flags)
{
    auto* button = new SingleClickButton(_Host());
    // Return presses the button that has the focus, as Space does.
    button->setAutoDefault(true);
    _SetButton(button);
}

void BButton::MakeDefault(bool isDefault) { static_cast<QPushButton*>(_Button())->setDefault(isDefault); }

BCheckBox::BCheckBox(BRect frame, const char* name, const char* label, BMessage* message, uint32 resizingMode,
                     uint32 flags)
    : BControl(frame, name, label, message, resizingMode, flags)
{
    _SetButton(new QCheckBox(_Host()));
}

BRadioButton::BRadioButton(BRect frame, const char* name, const char* label, BMessage* message, uint32 resizingMode,
                           uint32 flags)
    : BControl(frame, name, label, message, resizingMode, flags)
{
    auto* button = new QRadioButton(_Host());
    // Each sits in a widget of its own: the kit clears the siblings.
    button->setAutoExclusive(false);
    _SetButton(button);
}

void BRadioButton::SetValue(int32 value)
{
    BControl::SetValue(value);
    if (value == 0 || Parent() == nullptr)
        return;
    for (int32 i = 0; i < Parent()->CountChildren(); i++) {
        auto* sibling = dynamic_cast<BRadioButton*>(Parent()->ChildAt(i));
        if (sibling != nullptr && sibling != this)
            sibling->BControl::SetValue(0);
    }
}

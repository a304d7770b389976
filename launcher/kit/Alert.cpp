#include "Alert.h"

#include <QCheckBox>
#include <QMessageBox>
#include <QPushButton>
#include <QKeyEvent>

BAlert::BAlert(const char* title, const char* text, const char* button0, const char* button1, const char* button2,
               button_width, alert_type type)
    : fTitle(title != nullptr ? title : ""), fText(text != nullptr ? text : ""), fType(type)
{
    const char* buttons[3] = {button0, button1, button2};
    for (int i = 0; i < 3; i++)
        fButtons[i] = buttons[i] != nullptr ? buttons[i] : "";
}

void BAlert::SetShortcut(int32 index, char key)
{
    if (index < 0 || index >= 3)
        return;
    if (key == B_ESCAPE)
        fEscape = index;
    else if ((key >= 'a' && key <= 'z') || (key >= 'A' && key <= 'Z'))
        fKeys[index] = key;
}

void BAlert::SetDefaultButton(int32 index)
{
    if (index >= 0 && index < 3)
        fDefault = index;
}

namespace {

// Presses a button when its letter is typed, alone or with Alt, wherever
// the focus is in the box.
class LetterKeys : public QObject {
public:
    LetterKeys(const char* keys, QPushButton* const* buttons) : fKeys(keys), fButtons(buttons) { }
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::KeyPress)
            return QObject::eventFilter(watched, event);
        auto* key = static_cast<QKeyEvent*>(event);
        if ((key->modifiers() & ~(Qt::AltModifier | Qt::ShiftModifier)) != Qt::NoModifier)
            return false;
        for (int i = 0; i < 3; i++) {
            if (fKeys[i] != 0 && fButtons[i] != nullptr && key->key() == QChar(fKeys[i]).toUpper().unicode()) {
                fButtons[i]->click();
                return true;
            }
        }
        return false;
    }

private:
    const char* fKeys;
    QPushButton* const* fButtons;
};

}  // namespace

void BAlert::SetCheckBox(const char* label, bool* checked)
{
    fCheckLabel = label != nullptr ? label : "";
    fChecked = checked;
}

int32 BAlert::Go()
{
    QMessageBox box(fType == B_INFO_ALERT      ? QMessageBox::Information
                    : fType == B_WARNING_ALERT ? QMessageBox::Warning
                                               : QMessageBox::NoIcon,
                    QString::fromUtf8(fTitle.c_str()), QString::fromUtf8(fText.c_str()));
    box.setTextFormat(Qt::PlainText);
    QPushButton* pushed[3] = {};
    for (int i = 0; i < 3; i++)
        if (!fButtons[i].empty())
            pushed[i] = box.addButton(QString::fromUtf8(fButtons[i].c_str()), QMessageBox::AcceptRole);
    if (fEscape >= 0 && pushed[fEscape] != nullptr)
        box.setEscapeButton(pushed[fEscape]);
    if (pushed[fDefault] != nullptr)
        box.setDefaultButton(pushed[fDefault]);
    if (fChecked != nullptr)
        box.setCheckBox(new QCheckBox(QString::fromUtf8(fCheckLabel.c_str())));
    LetterKeys letters(fKeys, pushed);
    box.installEventFilter(&letters);
    box.exec();
    int32 result = -1;
    for (int i = 0; i < 3; i++)
        if (pushed[i] != nullptr && box.clickedButton() == pushed[i])
            result = i;
    if (fChecked != nullptr)
        *fChecked = box.checkBox()->isChecked();
    delete this;
    return result;
}

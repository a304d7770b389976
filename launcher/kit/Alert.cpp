#include "Alert.h"

#include <QMessageBox>
#include <QPushButton>

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
    if (key == B_ESCAPE && index >= 0 && index < 3)
        fEscape = index;
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
    box.exec();
    int32 result = -1;
    for (int i = 0; i < 3; i++)
        if (pushed[i] != nullptr && box.clickedButton() == pushed[i])
            result = i;
    delete this;
    return result;
}

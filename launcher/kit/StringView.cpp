#include "StringView.h"

#include <QLabel>

#include "KitPrivate.h"

BStringView::BStringView(BRect frame, const char* name, const char* text, uint32 resizingMode, uint32 flags)
    : BView(frame, name, resizingMode, flags)
{
    auto* label = new QLabel(_Widget());
    label->setTextFormat(Qt::PlainText);
    label->setGeometry(0, 0, _Widget()->width(), _Widget()->height());
    label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    label->setObjectName(QString::fromUtf8(name));
    SetText(text);
}

void BStringView::SetText(const char* text)
{
    fText = text != nullptr ? text : "";
    _Show();
}

void BStringView::SetTruncation(uint32 mode)
{
    fTruncation = mode;
    _Show();
}

void BStringView::_Show()
{
    QLabel* label = _Widget()->findChild<QLabel*>();
    QString text = QString::fromUtf8(fText.c_str());
    label->setText(label->fontMetrics().elidedText(
        text, fTruncation == B_TRUNCATE_BEGINNING ? Qt::ElideLeft : Qt::ElideRight, label->width()));
}

#include "TextView.h"

#include <QLabel>
#include <algorithm>
#include <QTextLayout>

#include "KitPrivate.h"

BTextView::BTextView(BRect frame, const char* name, BRect textRect, uint32 resizingMode, uint32 flags)
    : BView(frame, name, resizingMode, flags), fTextRect(textRect)
{
    auto* label = new QLabel(_Widget());
    label->setTextFormat(Qt::PlainText);
    label->setGeometry(static_cast<int>(textRect.left), static_cast<int>(textRect.top),
                       static_cast<int>(textRect.Width()) + 1, static_cast<int>(textRect.Height()) + 1);
    label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    label->setObjectName(QString::fromUtf8(name));
    label->setTextInteractionFlags(Qt::NoTextInteraction);
}

// The text laid out at width in font: the lines' texts, in order.
static QStringList WrappedLines(const QString& text, const QFont& font, int width)
{
    QStringList lines;
    for (const QString& paragraph : text.split('\n')) {
        QTextLayout layout(paragraph, font);
        QTextOption option;
        option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        layout.setTextOption(option);
        layout.beginLayout();
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
            line.setLineWidth(width);
            lines.push_back(paragraph.mid(line.textStart(), line.textLength()));
        }
        layout.endLayout();
        if (paragraph.isEmpty())
            lines.push_back(QString());
    }
    return lines;
}

void BTextView::SetText(const char* text)
{
    fText = text != nullptr ? text : "";
    _Show();
}

int32 BTextView::CountLines() const
{
    QLabel* label = _Widget()->findChild<QLabel*>();
    return static_cast<int32>(WrappedLines(QString::fromUtf8(fText.c_str()), label->font(), label->width()).size());
}

float BTextView::LineHeight(int32) const
{
    return static_cast<float>(_Widget()->findChild<QLabel*>()->fontMetrics().lineSpacing());
}

void BTextView::MakeSelectable(bool selectable)
{
    _Widget()->findChild<QLabel*>()->setTextInteractionFlags(selectable ? Qt::TextSelectableByMouse
                                                                        : Qt::NoTextInteraction);
}

void BTextView::_Show()
{
    QLabel* label = _Widget()->findChild<QLabel*>();
    QStringList lines = WrappedLines(QString::fromUtf8(fText.c_str()), label->font(), label->width());
    const int fit = std::max(1, label->height() / label->fontMetrics().lineSpacing());
    if (lines.size() > fit) {
        // The last line that fits takes the rest of the text, cut with an
        // ellipsis.
        QString rest = lines.mid(fit - 1).join(' ');
        lines = lines.mid(0, fit - 1);
        lines.push_back(label->fontMetrics().elidedText(rest, Qt::ElideRight, label->width()));
    }
    for (QString& line : lines)
        line = line.trimmed();
    label->setText(lines.join('\n'));
    // A screen reader reads the view's name, or else the whole text, not
    // what fits.
    const QString name = _Widget()->accessibleName();
    label->setAccessibleName(name.isEmpty() ? QString::fromUtf8(fText.c_str()) : name);
}

#include "support/TextFitCheck.h"

#include <QAbstractButton>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QStyleOptionGroupBox>
#include <QTextDocument>
#include <QTextLayout>
#include <QtMath>
#include <optional>

#include "support/RealInput.h"

namespace quiblo::test {

namespace {

// A caption as drawn: an access key's ampersand is not shown.
QString drawnText(QString text) {
    text.replace(QStringLiteral("&&"), QStringLiteral("\x01"));
    text.remove(QLatin1Char('&'));
    return text.replace(QLatin1Char('\x01'), QLatin1Char('&'));
}

int widestLine(const QFontMetrics& metrics, const QString& text) {
    int widest = 0;
    for (const QString& line : text.split(QLatin1Char('\n')))
        widest = std::max(widest, metrics.horizontalAdvance(line));
    return widest;
}

// The height of the glyphs of `lines` lines: what must not be cut at the top or the bottom.
int inkHeight(const QFontMetrics& metrics, int lines) {
    return (lines - 1) * metrics.lineSpacing() + metrics.ascent() + metrics.descent();
}

QSize textSize(const QFontMetrics& metrics, const QString& text) {
    return QSize(widestLine(metrics, text),
                 inkHeight(metrics, int(text.count(QLatin1Char('\n'))) + 1));
}

// What a control shows of its text: the room it needs, the room it has, and where its text is
// drawn (in the control's coordinates). Empty when it shows no text.
struct TextRoom {
    QSize needed;
    QSize has;
    QList<QRect> drawn;
};

// The text of a label as plain lines: rich text read as it shows.
QString plainText(const QLabel* label) {
    if (!Qt::mightBeRichText(label->text()) || label->textFormat() == Qt::PlainText)
        return label->text();
    QTextDocument document;
    document.setHtml(label->text());
    return document.toPlainText().replace(QChar(0x2028), QLatin1Char('\n'));
}

// Where each line of a label's text is drawn, laid out as the label does: broken at its own
// line breaks, and at word boundaries when it wraps.
QList<QRect> labelLines(const QLabel* label, const QRect& room) {
    const QFontMetrics metrics = label->fontMetrics();
    QList<QRect> lines;
    int y = 0;
    for (const QString& paragraph : plainText(label).split(QLatin1Char('\n'))) {
        QTextLayout layout(paragraph, label->font());
        QTextOption option;
        option.setWrapMode(label->wordWrap() ? QTextOption::WrapAtWordBoundaryOrAnywhere
                                             : QTextOption::NoWrap);
        layout.setTextOption(option);
        layout.beginLayout();
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
            line.setLineWidth(label->wordWrap() ? room.width() : 1e6);
            // The ink of the glyphs, not their advance: a trailing full stop's empty half
            // touches nothing.
            const QString text = paragraph.mid(line.textStart(), line.textLength());
            const QRect ink = metrics.boundingRect(text);
            lines << QRect(std::max(0, ink.left()), y, ink.right() + 1 - std::max(0, ink.left()),
                           metrics.ascent() + metrics.descent());
            y += metrics.lineSpacing();
        }
        layout.endLayout();
    }
    // Placed in the room as the label aligns them.
    const int height = lines.isEmpty() ? 0 : lines.last().bottom() + 1;
    const QRect block =
        QStyle::alignedRect(Qt::LeftToRight, label->alignment() & Qt::AlignVertical_Mask,
                            QSize(room.width(), height), room);
    for (QRect& line : lines) {
        const QRect placed = QStyle::alignedRect(
            Qt::LeftToRight, (label->alignment() & Qt::AlignHorizontal_Mask) | Qt::AlignTop,
            line.size(),
            QRect(block.left(), block.top() + line.top(), block.width(), line.height()));
        line = placed;
    }
    return lines;
}

std::optional<TextRoom> textRoom(const QWidget* widget) {
    if (const auto* label = qobject_cast<const QLabel*>(widget)) {
        if (label->text().isEmpty() || !label->pixmap().isNull()) return std::nullopt;
        const QRect room = label->contentsRect().adjusted(label->margin(), label->margin(),
                                                          -label->margin(), -label->margin());
        QList<QRect> lines = labelLines(label, room);
        QRect all;
        for (const QRect& line : lines) all |= line;
        // A wrapping label needs its width only as far as its lines reach.
        return TextRoom{all.size(), room.size(), lines};
    }
    if (qobject_cast<const QCheckBox*>(widget) || qobject_cast<const QRadioButton*>(widget)) {
        const auto* button = static_cast<const QAbstractButton*>(widget);
        const bool radio = qobject_cast<const QRadioButton*>(widget);
        const QStyle* style = button->style();
        const int box = style->pixelMetric(
            radio ? QStyle::PM_ExclusiveIndicatorWidth : QStyle::PM_IndicatorWidth, nullptr,
            button);
        const int gap = style->pixelMetric(
            radio ? QStyle::PM_RadioButtonLabelSpacing : QStyle::PM_CheckBoxLabelSpacing, nullptr,
            button);
        const QSize text = textSize(button->fontMetrics(), drawnText(button->text()));
        const QSize needed(box + gap + text.width(), text.height());
        return TextRoom{needed,
                        button->size(),
                        {QStyle::alignedRect(Qt::LeftToRight, Qt::AlignLeft | Qt::AlignVCenter,
                                             needed, button->rect())}};
    }
    if (const auto* button = qobject_cast<const QPushButton*>(widget)) {
        if (button->text().isEmpty()) return std::nullopt;
        const QSize text = textSize(button->fontMetrics(), drawnText(button->text()));
        // The frame and a little air on each side, as the style draws them.
        const int margin = 2 * button->style()->pixelMetric(QStyle::PM_DefaultFrameWidth) + 2;
        return TextRoom{
            QSize(text.width() + margin, text.height()), button->size(), {button->rect()}};
    }
    if (const auto* frame = qobject_cast<const QGroupBox*>(widget)) {
        if (frame->title().isEmpty()) return std::nullopt;
        QStyleOptionGroupBox option;
        option.initFrom(frame);
        option.text = frame->title();
        option.subControls = QStyle::SC_GroupBoxLabel;
        const QRect label = frame->style()->subControlRect(QStyle::CC_GroupBox, &option,
                                                           QStyle::SC_GroupBoxLabel, frame);
        const QSize text = textSize(frame->fontMetrics(), drawnText(frame->title()));
        return TextRoom{text, QSize(frame->width() - label.left(), label.height()), {label}};
    }
    if (const auto* list = qobject_cast<const QComboBox*>(widget)) {
        QStyleOptionComboBox option;
        option.initFrom(list);
        const QRect field = list->style()->subControlRect(QStyle::CC_ComboBox, &option,
                                                          QStyle::SC_ComboBoxEditField, list);
        int widest = 0;
        for (int i = 0; i < list->count(); ++i)
            widest = std::max(widest, list->fontMetrics().horizontalAdvance(list->itemText(i)));
        return TextRoom{
            QSize(widest, inkHeight(list->fontMetrics(), 1)), field.size(), {list->rect()}};
    }
    return std::nullopt;
}

QString captionOf(const QWidget* widget) {
    if (const auto* label = qobject_cast<const QLabel*>(widget)) return label->text();
    if (const auto* button = qobject_cast<const QAbstractButton*>(widget)) return button->text();
    if (const auto* frame = qobject_cast<const QGroupBox*>(widget)) return frame->title();
    if (const auto* list = qobject_cast<const QComboBox*>(widget)) return list->currentText();
    return {};
}

QRect inWindow(const QWidget* widget, const QWidget* window, const QRect& rect) {
    return rect.translated(widget->mapTo(window, QPoint(0, 0)));
}

}  // namespace

QStringList textFaults(const QWidget* window) {
    QStringList faults;
    QList<std::pair<const QWidget*, QRect>> drawn;  // each line of text on its own
    for (const QWidget* widget : window->findChildren<QWidget*>()) {
        if (!widget->isVisibleTo(window) || widget->isWindow()) continue;
        const auto room = textRoom(widget);
        if (!room) continue;
        const QRect place = inWindow(widget, window, widget->rect());
        // A control placed wholly outside (a window's hidden cancel button) shows nothing.
        if (!place.intersects(window->rect())) continue;
        if (!window->rect().contains(place))
            faults << describe(widget) + QStringLiteral(" lies partly outside its window");
        // The last pixel row of the lowest descent is never ink.
        if (room->needed.width() > room->has.width() ||
            room->needed.height() > room->has.height() + 1)
            faults << QStringLiteral("%1 needs %2x%3 for \"%4\" but has %5x%6")
                          .arg(describe(widget))
                          .arg(room->needed.width())
                          .arg(room->needed.height())
                          .arg(captionOf(widget))
                          .arg(room->has.width())
                          .arg(room->has.height());
        for (const QRect& line : room->drawn)
            drawn.append({widget, inWindow(widget, window, line)});
    }
    // No text is drawn over another control's text.
    for (qsizetype i = 0; i < drawn.size(); ++i) {
        for (qsizetype j = i + 1; j < drawn.size(); ++j) {
            if (drawn[i].first != drawn[j].first && drawn[i].second.intersects(drawn[j].second))
                faults << describe(drawn[i].first) + QStringLiteral(" overlaps ") +
                              describe(drawn[j].first);
        }
    }
    return faults;
}

QStringList shownTexts(const QWidget* window) {
    QStringList texts;
    auto add = [&](const QString& text) {
        if (!text.isEmpty()) texts << text;
    };
    auto addWidget = [&](const QWidget* widget) {
        add(widget->isWindow() ? widget->windowTitle() : QString());
        add(widget->toolTip());
        add(widget->accessibleName());
        if (const auto* label = qobject_cast<const QLabel*>(widget)) add(label->text());
        if (const auto* button = qobject_cast<const QAbstractButton*>(widget)) add(button->text());
        if (const auto* frame = qobject_cast<const QGroupBox*>(widget)) add(frame->title());
        if (const auto* list = qobject_cast<const QComboBox*>(widget))
            for (int i = 0; i < list->count(); ++i) add(list->itemText(i));
        if (const auto* menu = qobject_cast<const QMenu*>(widget)) add(menu->title());
    };
    addWidget(window);
    for (const QWidget* widget : window->findChildren<QWidget*>()) addWidget(widget);
    for (const QAction* action : window->findChildren<QAction*>()) add(action->text());
    return texts;
}

bool hasJapanese(const QString& text) {
    static const QRegularExpression japanese(
        QStringLiteral("[\\x{3000}-\\x{30ff}\\x{4e00}-\\x{9fff}\\x{ff00}-\\x{ffef}]"));
    return japanese.match(text).hasMatch();
}

}  // namespace quiblo::test

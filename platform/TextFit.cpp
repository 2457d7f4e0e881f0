#include "TextFit.h"

#include <QAbstractButton>
#include <QFontMetrics>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QTextDocument>
#include <algorithm>

namespace quiblo {

namespace {

void setSizeKeepingFixed(QWidget* widget, QSize size) {
    if (widget->minimumSize() == widget->maximumSize())
        widget->setFixedSize(size);
    else
        widget->resize(size);
}

bool overlaps(int firstLow, int firstHigh, int secondLow, int secondHigh) {
    return firstLow <= secondHigh && secondLow <= firstHigh;
}

// How far a container `room` long must grow for a control that spanned [low, high] and now ends
// at `end`. One that now stands outermost keeps the margin it had past its end, up to the one
// before its start; a control placed outside on purpose stays as far outside; others just fit.
int moreRoom(int room, int low, int high, int end, bool outermost) {
    const int margin = room - 1 - high;
    const int keep = margin < 0 ? margin : outermost ? std::min(margin, low) : 0;
    return std::max(0, end + keep - (room - 1));
}

// The rightmost and lowest edges of `parent`'s shown children, `grown` taken at `grownPlace`.
QPoint contentExtent(const QWidget* parent, const QWidget* grown, const QRect& grownPlace) {
    QPoint extent(-1, -1);
    for (const QWidget* child : parent->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (child->isWindow() || child->isHidden()) continue;
        const QRect place = child == grown ? grownPlace : child->geometry();
        extent = QPoint(std::max(extent.x(), place.right()), std::max(extent.y(), place.bottom()));
    }
    return extent;
}

// `grown` was `before`: the siblings it now runs into move clear of it (those below it move
// down together, keeping their arrangement), and its container grows to hold what moved, and so
// on up to the window. A container laid out by Qt sizes itself.
void makeRoom(QWidget* grown, const QRect& before) {
    QWidget* parent = grown->parentWidget();
    if (!parent || grown->isWindow() || parent->layout()) return;
    const QRect after = grown->geometry();
    const QList<QWidget*> siblings = parent->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);

    int down = 0;
    for (const QWidget* sibling : siblings) {
        const QRect s = sibling->geometry();
        if (sibling == grown || sibling->isWindow() || sibling->isHidden() ||
            s.top() <= before.bottom())
            continue;
        if (overlaps(s.left(), s.right(), after.left(), after.right()))
            down = std::max(down, after.bottom() + 1 - s.top());
    }
    QList<std::pair<QRect, QRect>> moves{{before, after}};
    for (QWidget* sibling : siblings) {
        const QRect s = sibling->geometry();
        if (sibling == grown || sibling->isWindow() || sibling->isHidden()) continue;
        if (down > 0 && s.top() > before.bottom())
            sibling->move(s.x(), s.y() + down);
        else if (s.left() > before.right() && s.intersects(after))
            sibling->move(after.right() + 1, s.y());  // beside it on its row
        if (sibling->geometry() != s) moves.append({s, sibling->geometry()});
    }

    const QPoint extent = contentExtent(parent, grown, after);
    QSize more(0, 0);
    for (const auto& [was, now] : moves) {
        more = more.expandedTo(QSize(moreRoom(parent->width(), was.left(), was.right(), now.right(),
                                              now.right() >= extent.x()),
                                     moreRoom(parent->height(), was.top(), was.bottom(),
                                              now.bottom(), now.bottom() >= extent.y())));
    }
    if (more.width() == 0 && more.height() == 0) return;
    const QRect parentBefore = parent->geometry();
    setSizeKeepingFixed(parent, parent->size() + more);
    makeRoom(parent, parentBefore);
}

QSize grow(QWidget* widget, QSize needed) {
    const QRect before = widget->geometry();
    const QSize size = before.size().expandedTo(needed);
    if (size == before.size()) return QSize(0, 0);
    setSizeKeepingFixed(widget, size);
    makeRoom(widget, before);
    return size - before.size();
}

}  // namespace

QStringList designedLines(const QLabel* label) {
    QString text = label->text();
    if (label->textFormat() == Qt::RichText ||
        (label->textFormat() == Qt::AutoText && Qt::mightBeRichText(text))) {
        QTextDocument document;
        document.setHtml(text);
        text = document.toPlainText();
    }
    return text.split(QRegularExpression(QStringLiteral("\r?\n|\u2029")));
}

QSize designedTextSize(const QLabel* label) {
    const QFontMetrics metrics(label->font());
    const QStringList lines = designedLines(label);
    int widest = 0;
    for (const QString& line : lines) widest = std::max(widest, metrics.horizontalAdvance(line));
    // The frame and margins around the text stay as they are.
    const QSize around = label->size() - label->contentsRect().size();
    // The last line needs no leading, nor the lowest pixel of its descent, which no glyph of
    // these fonts reaches.
    const int high = int(lines.size()) * metrics.lineSpacing() - metrics.leading() - 1;
    return QSize(widest, high) + around;
}

QSize fitDesignedLines(QLabel* label) {
    if (label->text().isEmpty()) return QSize(0, 0);
    const QSize grown = grow(label, designedTextSize(label));
    if (grown.width() > 0) label->setWordWrap(false);  // the designed breaks only
    return grown;
}

QSize fitCaption(QAbstractButton* button) {
    return grow(button, QSize(button->sizeHint().width(), 0));
}

void fitDesignedTexts(QWidget* window) {
    for (QWidget* control : window->findChildren<QWidget*>()) {
        if (auto* label = qobject_cast<QLabel*>(control))
            fitDesignedLines(label);
        else if (auto* button = qobject_cast<QAbstractButton*>(control);
                 button && !qobject_cast<QPushButton*>(button) && !button->text().isEmpty())
            fitCaption(button);
    }
}

}  // namespace quiblo

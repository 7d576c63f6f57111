// Window Form主窗体: how the buttons of its arrays paint their highlight and their captions.

#include "ui/grid_button.h"

#include <QFontMetrics>
#include <QStyleOptionButton>
#include <QStyleOptionFocusRect>
#include <QStylePainter>
#include <QTextLayout>
#include <algorithm>
#include <utility>
#include <vector>

namespace {

constexpr QChar kEllipsis(0x2026);
// Room between the caption and the button's frame, left and right.
constexpr int kCaptionMargin = 2;

// Start and length of each line of one paragraph broken at `width`, at most `maxLines` lines.
std::vector<std::pair<int, int>> BreakParagraph(const QString& paragraph, const QFont& font,
                                                int width, int maxLines) {
    QTextLayout layout(paragraph, font);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    std::vector<std::pair<int, int>> spans;
    layout.beginLayout();
    while (int(spans.size()) < maxLines) {
        QTextLine line = layout.createLine();
        if (!line.isValid()) {
            break;
        }
        line.setLineWidth(width);
        spans.emplace_back(line.textStart(), line.textLength());
    }
    layout.endLayout();
    if (spans.empty()) {
        spans.emplace_back(0, 0);  // an empty paragraph is an empty line
    }
    return spans;
}

QString WithoutTrailingSpaces(QString line) {
    while (!line.isEmpty() && line.back().isSpace()) {
        line.chop(1);
    }
    return line;
}

// `line` followed by "…", cut so that both fit `width`.
QString MarkCut(const QFontMetrics& metrics, const QString& line, int width) {
    const QString marked = line + kEllipsis;
    if (metrics.horizontalAdvance(marked) <= width) {
        return marked;
    }
    return metrics.elidedText(marked, Qt::ElideRight, width);
}

bool OnlyEmptyFrom(const QStringList& paragraphs, qsizetype first) {
    return std::all_of(paragraphs.begin() + first, paragraphs.end(),
                       [](const QString& p) { return p.trimmed().isEmpty(); });
}

}  // namespace

bool IsHighlighted(const QPushButton* button) {
    return button->testAttribute(Qt::WA_SetPalette) &&
           button->palette().color(QPalette::Button) == kHighlightColour;
}

QString PlainCaption(const QString& buttonText) {
    QString plain;
    plain.reserve(buttonText.size());
    for (qsizetype i = 0; i < buttonText.size(); ++i) {
        if (buttonText[i] == QLatin1Char('&') && i + 1 < buttonText.size()) {
            ++i;
        }
        plain += buttonText[i];
    }
    return plain;
}

CaptionLayout LayOutCaption(const QString& caption, const QFont& font, int width, int maxLines) {
    CaptionLayout out;
    const QFontMetrics metrics(font);
    const QStringList paragraphs = caption.split(QLatin1Char('\n'));
    for (qsizetype p = 0; p < paragraphs.size(); ++p) {
        const int room = std::max(1, maxLines) - int(out.lines.size());
        if (room <= 0) {
            if (!OnlyEmptyFrom(paragraphs, p)) {
                out.lines.back() = MarkCut(metrics, out.lines.back(), width);
                out.elided = true;
            }
            break;
        }
        const QString& paragraph = paragraphs[p];
        const auto spans = BreakParagraph(paragraph, font, width, room);
        for (const auto& [start, length] : spans) {
            out.lines << WithoutTrailingSpaces(paragraph.mid(start, length));
        }
        const int lastStart = spans.back().first;
        if (lastStart + spans.back().second < paragraph.size()) {
            // The paragraph needs more lines than are left: its last line takes the rest.
            const QString rest = WithoutTrailingSpaces(paragraph.mid(lastStart));
            out.lines.back() = metrics.elidedText(rest, Qt::ElideRight, width);
            if (out.lines.back() != rest) {
                out.elided = true;
                break;
            }
        }
    }
    return out;
}

QRect GridButton::captionRect() const {
    QStyleOptionButton option;
    initStyleOption(&option);
    const QRect contents = style()->subElementRect(QStyle::SE_PushButtonContents, &option, this);
    return contents.adjusted(kCaptionMargin, 0, -kCaptionMargin, 0);
}

CaptionLayout GridButton::captionLayout() const {
    const QRect box = captionRect();
    const int lines = std::max(1, box.height() / fontMetrics().height());
    return LayOutCaption(PlainCaption(text()), font(), box.width(), lines);
}

void GridButton::paintEvent(QPaintEvent*) {
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    option.text.clear();
    option.icon = QIcon();
    paintFace(painter, option);
    paintCaption(painter, option);
    if (option.state & QStyle::State_HasFocus) {
        // The machine pressed last is shown by the keyboard focus alone.
        QStyleOptionFocusRect focus;
        focus.QStyleOption::operator=(option);
        focus.rect = style()->subElementRect(QStyle::SE_PushButtonFocusRect, &option, this);
        painter.drawPrimitive(QStyle::PE_FrameFocusRect, focus);
    }
}

void GridButton::paintFace(QStylePainter& painter, const QStyleOptionButton& option) const {
    if (!IsHighlighted(this)) {
        painter.drawControl(QStyle::CE_PushButtonBevel, option);
        return;
    }
    painter.fillRect(option.rect, kHighlightColour);
    painter.setPen(option.palette.color(QPalette::Window).darker(140));
    painter.drawRect(option.rect.adjusted(0, 0, -1, -1));
}

void GridButton::paintCaption(QStylePainter& painter, const QStyleOptionButton& option) const {
    const CaptionLayout caption = captionLayout();
    const int lineHeight = fontMetrics().height();
    QRect line = captionRect();
    line.setTop(line.top() + (line.height() - lineHeight * int(caption.lines.size())) / 2);
    line.setHeight(lineHeight);
    if (option.state & (QStyle::State_Sunken | QStyle::State_On)) {
        line.translate(style()->pixelMetric(QStyle::PM_ButtonShiftHorizontal, &option, this),
                       style()->pixelMetric(QStyle::PM_ButtonShiftVertical, &option, this));
    }
    for (const QString& text : caption.lines) {
        style()->drawItemText(&painter, line, Qt::AlignCenter | Qt::TextSingleLine, option.palette,
                              isEnabled(), text, QPalette::ButtonText);
        line.translate(0, lineHeight);
    }
}

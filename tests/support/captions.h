#pragma once
// The captions of the window's fixed controls as the operator reads them, and whether they are
// shown whole: labels, push buttons, group box titles and the lists' edit fields, measured in the
// control's own font as its style draws it. The grid buttons wrap and elide on their own and are
// not measured here.

#include "ui/grid_button.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStyleOptionGroupBox>
#include <QWidget>

// The caption of a group box, label or button ("" for other kinds).
inline QString CaptionOf(const QWidget* w) {
    if (const auto* box = qobject_cast<const QGroupBox*>(w)) {
        return box->title();
    }
    if (const auto* label = qobject_cast<const QLabel*>(w)) {
        return label->text();
    }
    if (const auto* button = qobject_cast<const QAbstractButton*>(w)) {
        return button->text();
    }
    return QString();
}

// Han characters, CJK punctuation and full-width forms ("：", "（").
inline bool HasChinese(const QString& text) {
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if ((u >= 0x3000 && u <= 0x303F) || (u >= 0x3400 && u <= 0x9FFF) ||
            (u >= 0xFF00 && u <= 0xFFEF)) {
            return true;
        }
    }
    return false;
}

// The space a push button's style gives its label holds the caption, one line per line break.
inline bool ButtonCaptionFits(const QPushButton* b) {
    QStyleOptionButton option;
    option.initFrom(b);
    option.text = b->text();
    const QRect contents = b->style()->subElementRect(QStyle::SE_PushButtonContents, &option, b);
    const QRect needed =
        b->fontMetrics().boundingRect(contents, Qt::AlignCenter | Qt::TextShowMnemonic, b->text());
    return contents.contains(needed);
}

inline bool LabelCaptionFits(const QLabel* l) {
    const QRect area = l->contentsRect();
    return area.contains(l->fontMetrics().boundingRect(area, int(l->alignment()), l->text()));
}

// The title's place, as the style lays it out, lies within the box.
inline bool GroupTitleFits(const QGroupBox* g) {
    QStyleOptionGroupBox option;
    option.initFrom(g);
    option.text = g->title();
    option.subControls = QStyle::SC_GroupBoxLabel | QStyle::SC_GroupBoxFrame;
    option.textAlignment = g->alignment();
    const QRect title =
        g->style()->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, g);
    return g->rect().contains(title) &&
           title.width() >= g->fontMetrics().horizontalAdvance(g->title());
}

// Every item of a list fits the width its edit field gives to text (2 pixels each side).
inline bool ListItemsFit(const QComboBox* c) {
    const QLineEdit* edit = c->lineEdit();
    const QMargins margins = edit->textMargins();
    const int room = edit->contentsRect().width() - margins.left() - margins.right() - 4;
    for (int i = 0; i < c->count(); ++i) {
        if (edit->fontMetrics().horizontalAdvance(c->itemText(i)) > room) {
            return false;
        }
    }
    return edit->fontMetrics().horizontalAdvance(c->currentText()) <= room;
}

// The object names of the controls under `root` whose captions do not fit.
inline QStringList ClippedCaptions(const QWidget& root) {
    QStringList clipped;
    for (const QWidget* w : root.findChildren<QWidget*>()) {
        bool fits = true;
        if (dynamic_cast<const GridButton*>(w) != nullptr) {
            continue;
        } else if (const auto* b = qobject_cast<const QPushButton*>(w)) {
            fits = ButtonCaptionFits(b);
        } else if (const auto* l = qobject_cast<const QLabel*>(w)) {
            fits = LabelCaptionFits(l);
        } else if (const auto* g = qobject_cast<const QGroupBox*>(w)) {
            fits = GroupTitleFits(g);
        } else if (const auto* c = qobject_cast<const QComboBox*>(w)) {
            fits = ListItemsFit(c);
        }
        if (!fits) {
            clipped << w->objectName();
        }
    }
    return clipped;
}

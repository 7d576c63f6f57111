#pragma once
// Window Form主窗体: the buttons of its arrays Command区域 (zones), Command机器IP (machines) and
// Command定时任务 (timed tasks). A highlighted button is painted flat in exactly the highlight
// colour (the styles paint a gradient from a palette colour); a neutral one keeps the platform's
// button face. The caption wraps onto the lines the button has and what still does not fit ends
// in "…", so a 20-character remark stays readable. text() stays the logical caption; only the
// painting differs.

#include <QColor>
#include <QFont>
#include <QPushButton>
#include <QString>
#include <QStringList>
#include <cstddef>
#include <vector>

class QStyleOptionButton;
class QStylePainter;

// The highlight of zone, machine and task buttons: red 128, green 255, blue 128.
inline const QColor kHighlightColour = QColor(128, 255, 128);

// Whether a grid button shows the highlight colour: its palette's button colour is the
// highlight (the refresh sets it; the painting follows it).
bool IsHighlighted(const QPushButton* button);

// A caption laid out for a button: one entry per painted line.
struct CaptionLayout {
    QStringList lines;
    bool elided = false;  // the last line ends in "…" because the rest did not fit
};

// Lays out `caption` (lines broken at "\n"; CJK text wraps anywhere, Latin text at words, a word
// wider than the line anywhere) in lines of `width` pixels, at most `maxLines` of them.
CaptionLayout LayOutCaption(const QString& caption, const QFont& font, int width, int maxLines);

// A button text as drawn: "&&" is a literal "&", a single "&" only marks a shortcut.
QString PlainCaption(const QString& buttonText);

class GridButton : public QPushButton {
  public:
    using QPushButton::QPushButton;

    // The caption exactly as paintEvent draws it at the button's current size and font.
    CaptionLayout captionLayout() const;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QRect captionRect() const;
    void paintFace(QStylePainter& painter, const QStyleOptionButton& option) const;
    void paintCaption(QStylePainter& painter, const QStyleOptionButton& option) const;
};

// One of the window's button arrays, reached as the operator counts its elements: 1..count.
// Element 0 exists and stays empty, as in the configuration tables; any other number throws
// rather than reach past the array.
class ButtonArray {
  public:
    explicit ButtonArray(int count) : elements_(std::size_t(count) + 1, nullptr) {}
    GridButton* operator()(int n) const { return elements_.at(std::size_t(n)); }
    void set(int n, GridButton* button) { elements_.at(std::size_t(n)) = button; }

  private:
    std::vector<GridButton*> elements_;
};

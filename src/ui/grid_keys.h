#pragma once
// The keyboard in the window's button grids, so that it reaches everything the mouse does: the
// arrow keys (and Home, End) move within a grid, Tab and Shift+Tab leave it for the next or the
// previous group, Space and Enter press the focused button as the left mouse button does, and
// where the right mouse button has a meaning of its own (a zone's use of a machine), Ctrl+Space
// and the context menu (the menu key, Shift+F10) do the same.

#include "ui/grid_button.h"

#include <QObject>
#include <QString>
#include <functional>
#include <vector>

class GridKeys : public QObject {
  public:
    struct Grid {
        const ButtonArray* array = nullptr;
        int count = 0;
        int columns = 1;
        std::function<void(int)> press;        // as the left button on element n
        std::function<void(int)> alternate;    // as the right button; empty when it has none
        std::function<bool(int)> alternateOn;  // whether the right button's choice is on
        QString alternateText;                 // the context menu's entry for it
    };

    explicit GridKeys(QObject* parent) : QObject(parent) {}
    // Watches the grid's elements 1..count.
    void add(Grid grid);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    struct Place {
        const Grid* grid = nullptr;
        int n = 0;
    };
    Place Find(const QObject* watched) const;
    bool Key(const Place& at, int key, Qt::KeyboardModifiers modifiers);
    void Leave(const Place& at, bool forward);
    void Menu(const Place& at);

    std::vector<Grid> grids_;
};

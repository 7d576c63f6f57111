#include "ui/grid_keys.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>

void GridKeys::add(Grid grid) {
    grids_.push_back(std::move(grid));
    const Grid& added = grids_.back();
    for (int n = 1; n <= added.count; ++n) {
        (*added.array)(n)->installEventFilter(this);
    }
}

GridKeys::Place GridKeys::Find(const QObject* watched) const {
    for (const Grid& grid : grids_) {
        for (int n = 1; n <= grid.count; ++n) {
            if ((*grid.array)(n) == watched) {
                return {&grid, n};
            }
        }
    }
    return {};
}

bool GridKeys::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress && event->type() != QEvent::ContextMenu) {
        return false;
    }
    const Place at = Find(watched);
    if (at.grid == nullptr) {
        return false;
    }
    if (event->type() == QEvent::ContextMenu) {
        // The right mouse button has done its designed work on the press already.
        if (static_cast<QContextMenuEvent*>(event)->reason() == QContextMenuEvent::Mouse) {
            return at.grid->alternate != nullptr;
        }
        if (!at.grid->alternate) {
            return false;
        }
        Menu(at);
        return true;
    }
    const auto* key = static_cast<QKeyEvent*>(event);
    return Key(at, key->key(), key->modifiers() & ~Qt::KeypadModifier);
}

bool GridKeys::Key(const Place& at, int key, Qt::KeyboardModifiers modifiers) {
    const Grid& grid = *at.grid;
    int to = 0;
    switch (key) {
        case Qt::Key_Left:
            to = at.n - 1;
            break;
        case Qt::Key_Right:
            to = at.n + 1;
            break;
        case Qt::Key_Up:
            to = at.n - grid.columns;
            break;
        case Qt::Key_Down:
            to = at.n + grid.columns;
            break;
        case Qt::Key_Home:
            to = 1;
            break;
        case Qt::Key_End:
            to = grid.count;
            break;
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
            Leave(at, key == Qt::Key_Tab && !(modifiers & Qt::ShiftModifier));
            return true;
        case Qt::Key_Space:
        case Qt::Key_Return:
        case Qt::Key_Enter:
            if (modifiers == Qt::ControlModifier && key == Qt::Key_Space) {
                if (!grid.alternate) {
                    return false;
                }
                grid.alternate(at.n);
                return true;
            }
            if (modifiers != Qt::NoModifier) {
                return false;
            }
            grid.press(at.n);
            return true;
        default:
            return false;
    }
    if (to >= 1 && to <= grid.count) {
        (*grid.array)(to)->setFocus(Qt::OtherFocusReason);
    }
    return true;  // at an edge the focus stays where it is
}

// To the first control outside the grid that takes the keyboard focus, in the window's order.
void GridKeys::Leave(const Place& at, bool forward) {
    const Grid& grid = *at.grid;
    QWidget* from = forward ? (*grid.array)(grid.count) : (*grid.array)(1);
    const auto inGrid = [&grid](const QWidget* w) {
        for (int n = 1; n <= grid.count; ++n) {
            if ((*grid.array)(n) == w) {
                return true;
            }
        }
        return false;
    };
    for (QWidget* w = forward ? from->nextInFocusChain() : from->previousInFocusChain(); w != from;
         w = forward ? w->nextInFocusChain() : w->previousInFocusChain()) {
        if (!inGrid(w) && (w->focusPolicy() & Qt::TabFocus) && w->isEnabled() &&
            w->isVisibleTo(w->window()) && w->focusProxy() == nullptr) {
            w->setFocus(forward ? Qt::TabFocusReason : Qt::BacktabFocusReason);
            return;
        }
    }
}

void GridKeys::Menu(const Place& at) {
    const Grid& grid = *at.grid;
    QWidget* button = (*grid.array)(at.n);
    QMenu menu(button);
    QAction* use = menu.addAction(grid.alternateText);
    use->setCheckable(true);
    use->setChecked(grid.alternateOn && grid.alternateOn(at.n));
    if (menu.exec(button->mapToGlobal(button->rect().center())) == use) {
        grid.alternate(at.n);
    }
}

// Window Form主窗体: the menu bar above the designed client area, and the note of each edit that
// the undo history keeps. The menus themselves are in window_menus.cpp.

#include "ui/control_table.h"
#include "ui/main_window.h"
#include "ui/window_menus.h"

#include <QMenuBar>

// The menu bar takes the top of the window; the client area below it keeps the designed size,
// and every designed control is placed in it as the control table says. The window grows by the
// menu bar's height and by nothing else.
void Form主窗体::BuildMenuBarAndClientArea() {
    const int width = TwipsToPixels(kClientWidthTwips);
    const int height = TwipsToPixels(kClientHeightTwips);
    resize(width, height);
    menus_ = std::make_unique<WindowMenus>(*this, deps_);
    const int menuHeight = menus_->menuBar()->height();
    client_ = new QWidget(this);
    client_->setObjectName(QStringLiteral("ClientArea"));
    client_->setGeometry(0, menuHeight, width, height);
    setFixedSize(width, menuHeight + height);
}

void Form主窗体::NoteEdit(int group) {
    if (menus_ != nullptr) {
        menus_->noteEdit(group);
    }
}

#pragma once
// Window Form主窗体: the drop-down lists. A list can be told to refresh its items just before
// its drop-down opens, as the port list does so that an adapter plugged in after start-up is
// there without a restart.

#include <QComboBox>
#include <functional>

class ListBox : public QComboBox {
  public:
    using QComboBox::QComboBox;
    std::function<void()> beforePopup;  // empty: the items stay as they are

    void showPopup() override {
        if (beforePopup) {
            beforePopup();
        }
        QComboBox::showPopup();
    }
};

// The message boxes that start-up, the window and the time synchronisation show.

#include "ui/operator_messages.h"

#include <QApplication>
#include <QMessageBox>

void MessageBoxMessages::information(const QString& text) {
    QMessageBox::information(nullptr, QApplication::applicationDisplayName(), text);
}

void MessageBoxMessages::warning(const QString& text) {
    QMessageBox::warning(nullptr, QApplication::applicationDisplayName(), text);
}

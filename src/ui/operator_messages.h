#pragma once
// The modal boxes the operator answers. The window and start-up reach them through this
// interface, so tests can observe what would be shown (and when) without a blocking box.

#include <QString>

class OperatorMessages {
  public:
    virtual ~OperatorMessages() = default;
    // Modal box with one OK button, captioned with the application title.
    virtual void information(const QString& text) = 0;
    // The same for failures the operator has to act on (a save that did not happen).
    virtual void warning(const QString& text) = 0;
};

// QMessageBox, captioned with QApplication::applicationDisplayName().
class MessageBoxMessages : public OperatorMessages {
  public:
    void information(const QString& text) override;
    void warning(const QString& text) override;
};

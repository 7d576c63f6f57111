#pragma once
// Helpers shared by the serial tests: settings files written as literal bytes, a port selector
// that records what the probe did.

#include "serial/port_layer.h"
#include "support/bytes.h"
#include "util/hexconv.h"

#include <gtest/gtest.h>
#include <QByteArray>
#include <QCoreApplication>
#include <QFile>
#include <QStringList>

class RecordingSelector : public PortSelector {
  public:
    void clear() override { items.clear(); }
    void addItem(const QString& text) override { items.append(text); }
    void setText(const QString& text) override { current = text; }
    QString text() const override { return current; }

    QStringList items;
    QString current = QStringLiteral("untouched");
};

// "05 AB " for the bytes 05 AB: the text a read hands up.
inline QString ReceivedText(const QByteArray& bytes) {
    return bytes.isEmpty() ? QString() : HexBytes(bytes) + QLatin1Char(' ');
}

#include "ui/port_list.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QSignalBlocker>
#include <QStringList>

ComboPortSelector::ComboPortSelector(QComboBox* combo, QString settingsPath)
    : combo_(combo), map_(std::move(settingsPath)) {}

void ComboPortSelector::clear() {
    QSignalBlocker quiet(combo_);
    combo_->clear();
    updateToolTip();
}

void ComboPortSelector::addItem(const QString& text) {
    QSignalBlocker quiet(combo_);
    combo_->addItem(text);
    combo_->setItemData(combo_->count() - 1, describe(text), Qt::ToolTipRole);
    updateToolTip();
}

void ComboPortSelector::setText(const QString& text) {
    QSignalBlocker quiet(combo_);
    const int index = combo_->findText(text);
    if (index >= 0) {
        combo_->setCurrentIndex(index);
    }
    combo_->setEditText(text);
    updateToolTip();
}

QString ComboPortSelector::text() const {
    return combo_->currentText();
}

void ComboPortSelector::relist(const QList<int32_t>& numbers) {
    const QString shown = combo_->currentText();
    clear();
    for (const int32_t n : numbers) {
        addItem(QString::number(n));
    }
    QSignalBlocker quiet(combo_);
    combo_->setCurrentIndex(combo_->findText(shown));
    combo_->setEditText(shown);
    updateToolTip();
}

QString ComboPortSelector::describe(const QString& text) const {
    bool ok = false;
    const int number = text.toInt(&ok);
    if (!ok || number < kFirstPort || number > kLastPort) {
        return QCoreApplication::translate("Form主窗体", "串口 %1：无此串口").arg(text);
    }
    QString line = QCoreApplication::translate("Form主窗体", "串口 %1 = %2")
                       .arg(number)
                       .arg(map_.devicePath(number));
    const QString adapter = map_.description(number);
    if (!adapter.isEmpty()) {
        line += QCoreApplication::translate("Form主窗体", "（%1）").arg(adapter);
    }
    return line;
}

void ComboPortSelector::updateToolTip() {
    QStringList lines{describe(combo_->currentText())};
    if (combo_->count() > 0) {
        lines << QString() << QCoreApplication::translate("Form主窗体", "找到的串口：");
        for (int i = 0; i < combo_->count(); ++i) {
            lines << combo_->itemData(i, Qt::ToolTipRole).toString();
        }
    }
    combo_->setToolTip(lines.join('\n'));
}

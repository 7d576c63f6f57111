#include "ui/widget_factory.h"

#include "ui/list_box.h"

#include <QApplication>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPlainTextEdit>
#include <QPushButton>

namespace {

// A row's caption in the language chosen at start-up (the table marks its captions).
QString Caption(const ControlRow& row) {
    return QCoreApplication::translate("Form主窗体", row.caption);
}

QWidget* NewGroupBox(const ControlRow& row, QWidget* parent) {
    return new QGroupBox(Caption(row), parent);
}

QWidget* NewLabel(const ControlRow& row, QWidget* parent) {
    auto* label = new QLabel(Caption(row), parent);
    label->setAlignment(row.align);
    return label;
}

// A list shows its caption in an edit field that takes no typing; `filter` sees the keys, the
// input-method text and the wheel of the list, its edit field and its drop-down.
QWidget* NewList(const ControlRow& row, QWidget* parent, QObject* filter) {
    auto* combo = new ListBox(parent);
    combo->setEditable(true);
    combo->setInsertPolicy(QComboBox::NoInsert);
    combo->lineEdit()->setReadOnly(true);
    // Neither the wheel nor an input method may put a value into a list: the wheel does not
    // give it the focus, and no input method composes text for it.
    combo->setFocusPolicy(Qt::StrongFocus);
    combo->setAttribute(Qt::WA_InputMethodEnabled, false);
    combo->setEditText(Caption(row));
    combo->setMaxVisibleItems(16);
    for (QObject* part : {static_cast<QObject*>(combo), static_cast<QObject*>(combo->lineEdit()),
                          static_cast<QObject*>(combo->view())}) {
        part->installEventFilter(filter);
    }
    return combo;
}

QWidget* NewButton(const ControlRow& row, QWidget* parent) {
    return new QPushButton(Caption(row), parent);
}

// No length limit while editing: the box's whole text is the remark, and the task file writer
// keeps its first 20 code units.
QWidget* NewEdit(const ControlRow& row, QWidget* parent) {
    return new QLineEdit(Caption(row), parent);
}

QWidget* NewLog(const ControlRow&, QWidget* parent) {
    auto* log = new QPlainTextEdit(parent);
    log->setReadOnly(true);
    return log;
}

QWidget* NewLine(const ControlRow& row, QWidget* parent) {
    auto* line = new QFrame(parent);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Plain);
    line->setLineWidth(row.height);
    return line;
}

}  // namespace

QFont WindowFont() {
    QFont font = QApplication::font();
    font.setFamilies({QStringLiteral("宋体"), QStringLiteral("SimSun"),
                      QStringLiteral("WenQuanYi Micro Hei"), font.family()});
    font.setPointSizeF(9 * LayoutScale());
    return font;
}

// The controls of each kind as the layout has them, made inside `parent` from their row.

// A button array has no widget of its own: BuildButtonArray makes its elements.
QWidget* NewControl(const ControlRow& row, QWidget* parent, QObject* listFilter) {
    switch (row.kind) {
        case ControlKind::GroupBox:
            return NewGroupBox(row, parent);
        case ControlKind::Label:
            return NewLabel(row, parent);
        case ControlKind::ComboBox:
            return NewList(row, parent, listFilter);
        case ControlKind::PushButton:
            return NewButton(row, parent);
        case ControlKind::LineEdit:
            return NewEdit(row, parent);
        case ControlKind::LogBox:
            return NewLog(row, parent);
        case ControlKind::HLine:
            return NewLine(row, parent);
        case ControlKind::ButtonArray:
            break;
    }
    return nullptr;
}

// Where a row's control sits in its container, in pixels; a line is centred on its y.
QRect PixelGeometry(const ControlRow& row) {
    if (row.kind != ControlKind::HLine) {
        return TwipsToPixels(row.left, row.top, row.width, row.height);
    }
    const int x1 = TwipsToPixels(row.left);
    return QRect(x1, TwipsToPixels(row.top) - row.height / 2,
                 TwipsToPixels(row.left + row.width) - x1, row.height);
}

// Element n of a button array: row (n-1)/columns, column (n-1)%columns.
QRect ElementGeometry(const ControlRow& grid, int n) {
    const int row = (n - 1) / grid.columns;
    const int column = (n - 1) % grid.columns;
    return TwipsToPixels(grid.left + grid.pitchX * column, grid.top + grid.pitchY * row, grid.width,
                         grid.height);
}

QFont OwnFont(const ControlFont& own) {
    QFont font = WindowFont();
    font.setFamilies({QString::fromUtf8(own.family), QStringLiteral("SimSun"),
                      QStringLiteral("WenQuanYi Micro Hei")});
    font.setPointSizeF(own.points * LayoutScale());
    return font;
}

#pragma once
// The widget factory: each row of the control table made into its control, in the window's font
// and its own, placed where the layout puts it.

#include "ui/control_table.h"

#include <QFont>
#include <QRect>

class QObject;
class QWidget;

// The window's font (SimSun 9 pt, as designed, or the nearest there is).
QFont WindowFont();
// A row's control inside `parent`; a button array has no widget of its own (nullptr). A list's
// parts report their keys, input-method text and wheel to `listFilter`.
QWidget* NewControl(const ControlRow& row, QWidget* parent, QObject* listFilter);
// Where a row's control sits in its container, in pixels; a line is centred on its y.
QRect PixelGeometry(const ControlRow& row);
// Element n of a button array: row (n-1)/columns, column (n-1)%columns.
QRect ElementGeometry(const ControlRow& grid, int n);
// A row's own font, in the window's font families where the named one is missing.
QFont OwnFont(const ControlFont& own);

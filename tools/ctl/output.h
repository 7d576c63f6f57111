#pragma once
// m4500ctl's standard output and standard error. Every write is checked to its end: a command
// whose output did not arrive whole (a full disk, a closed pipe) must not end as if it had.

#include <QByteArray>
#include <QString>
#include <cstdio>

// Writes all of `bytes` and flushes them. A failure on standard output is remembered.
void Print(FILE* stream, const QByteArray& bytes);
void Print(FILE* stream, const QString& text);
// "m4500ctl: <text>" on standard error.
void Error(const QString& text);

// The system's reason when a write to standard output failed since the last call; "" when
// none did. The failure is forgotten once asked for.
QString TakeOutputFailure();

#pragma once
// MZ_alluse (general utilities): conversions between numbers, bytes and hexadecimal text ("&H"
// followed by upper-case digits), used to build the task file and the device frames.

#include <QString>
#include <QStringView>
#include <cstdint>

// Four hex digits per UTF-16 code unit, no separator ("A" -> "0041").
QString Fun_TextToHex(const QString& text);
// Exact inverse of Fun_TextToHex; never fails on malformed input.
QString Fun_HexToText(const QString& hex);
// Prepends `fill` (width - length) times when positive; updates and returns `text`.
QString& Fun_PadLeft(QString& text, int16_t width, const QString& fill);
QString& Fun_PadLeftZero(QString& text, int16_t width);  // Fun_PadLeft with the fill "0"
// "&H" + high (selector 1) or low (selector 2) byte of the value's low 16 bits; "" otherwise.
QString Fun_ByteOfWord(int64_t value, int selector);
// "&H" + byte `selector` (1 = most significant .. 4) of the value's 32-bit two's complement.
QString Fun_ByteOfLong(int32_t value, int selector);
// A 16-bit value is written as its 16-bit two's complement (so selectors 1 and 2 give "&H00").
QString Fun_ByteOfLong(int16_t value, int selector);
// Low bytes of a, b, c, d joined most significant first into a 32-bit integer.
int32_t Fun_BytesToLong(int64_t a, int64_t b, int64_t c, int64_t d);
// value modulo 256 by at most 5000 subtractions (see the implementation for the exact range).
int32_t Fun_Mod256(int64_t value);

// Appends the two upper-case hexadecimal digits of a byte ("05", "AB"). Every byte that is shown
// as text (traces, the emulator's output, the received hex text) goes through here.
void AppendHexByte(QString& out, uint8_t byte);
// The bytes as two digits each, separated by `separator` ("AA 55 78"); no separator when it is
// the null character.
QString HexBytes(const uint8_t* bytes, qsizetype n, QChar separator = u' ');
QString HexBytes(const QByteArray& bytes, QChar separator = u' ');

// Value of a run of hexadecimal digits of either case ("AB" -> 0xAB, "C" -> 0x0C); any other
// character counts as 0, so malformed text still gives one value per digit run.
uint32_t HexDigitsValue(QStringView digits);

// Turns the "&H" notation produced above into a number ("&H7A" -> 0x7A); 0 for anything else.
uint32_t HexNotationValue(const QString& amp);

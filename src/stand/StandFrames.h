#pragma once

#include <QByteArray>
#include <QChar>
#include <QString>

// Frames spoken to the stand controller: "*", stand number, command letter,
// four-character argument, two hex checksum digits, CR LF.
namespace StandFrames {

// Largest argument an "A" frame can carry in its four hex digits.
inline constexpr int MaxHeightValue = 0xFFFF;

// Appends the two uppercase hex digits of the low byte of the sum of s's character codes.
void AppendChecksum(QString& s);

// "A" frame for stand number 1..8; height × scaleFactor, kept within 0..FFFF.
QString heightFrame(int standNumber, int height, int scaleFactor);

// Frame with the argument "0000" ("L" home, "X" abort).
QString commandFrame(int standNumber, QChar letter);

// "Q" poll frame.
QString pollFrame(int standNumber);

// The 8-bit bytes handed to the port.
QByteArray toWire(const QString& frame);

// A height typed or shown in a panel: blanks (U+0020 only) trimmed at both ends,
// 0 when the rest is not a decimal integer.
int parseHeightText(const QString& text);

// Height 0..99 from the four hex characters of a reply.
int decodeHeight(const QString& data, int scaleFactor);

} // namespace StandFrames

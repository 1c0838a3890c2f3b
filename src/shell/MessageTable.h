#pragma once

#include <QString>
#include <array>

// The numbered texts every window takes its captions, hints and questions from.
class MessageTable {
public:
    static constexpr int Count = 40;

    // Line 0 is a header and never a message; lines without "=" in second place or later, or
    // whose number is not an integer in 0..39, are skipped; a later line wins. A file that cannot
    // be read or is refused (readTrustedFile) leaves every text empty.
    void LoadMessages(const QString& messageFileName);

    const QString& operator[](int number) const;

private:
    std::array<QString, Count> texts_;
};

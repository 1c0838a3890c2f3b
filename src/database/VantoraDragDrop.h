#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>
#include <optional>

class QMimeData;

// The drag message that carries a speaker from the database grid to the run order. On the
// medium it is 520 bytes, little-endian: data (256 UTF-16 units), size, count.
struct TVantoraMsg {
    std::array<char16_t, 256> data{};
    std::int32_t size = 0;   // meaningful units of data, at most 255
    std::int32_t count = 0;  // the entry's index in the speaker database
};

// The private drag format that a drag offers, named once for the whole run; it travels as the
// clipboard format "Vantora".
const QString& VantoraFormat();
// The names a received message may come under: the offered one first, then any other that the
// platform gives the same clipboard format.
const QStringList& VantoraFormatNames();
// The name under which `data` brings the message, or empty.
QString VantoraFormatOf(const QMimeData& data);

// The message as a block of bytes on the medium.
class TVantoraMsgClipboardFormat {
public:
    static constexpr qsizetype BlockSize = 520;

    static const QString& GetClipboardFormat() { return VantoraFormat(); }

    void Clear();
    bool HasData() const { return FGotVantoraMsgData; }
    // Copies at most BlockSize bytes; a shorter block fills the start and the rest reads as zero.
    bool ReadFromBlock(const char* block, qsizetype size);
    // Copies the record only into a block of exactly BlockSize bytes.
    bool WriteToBlock(char* block, qsizetype size) const;

    TVantoraMsg VantoraMsg() const;
    void SetVantoraMsg(const TVantoraMsg& msg);

private:
    std::array<char, BlockSize> FVantoraMsg{};
    bool FGotVantoraMsgData = false;
};

// The message as a value offered by a drag or received by a drop.
class TVantoraMsgDataFormat {
public:
    void Clear();
    bool HasData() const { return FGotVantoraMsgData; }
    bool NeedsData() const { return !FGotVantoraMsgData; }

    bool Assign(const TVantoraMsgClipboardFormat& source);
    bool AssignTo(TVantoraMsgClipboardFormat& destination) const;
    // Through the medium: reads the private format of a drop, or offers it on a drag.
    bool Assign(const QMimeData& source);
    bool AssignTo(QMimeData& destination) const;

    const TVantoraMsg& VantoraMsg() const { return FVantoraMsg; }
    void SetVantoraMsg(const TVantoraMsg& msg);

private:
    TVantoraMsg FVantoraMsg;
    bool FGotVantoraMsgData = false;
};

// The message for entry `index`: the identifier's first 255 units at most.
TVantoraMsg MakeVantoraMsg(int index, const QString& identifier);

// What a drag of entry `index` carries: the identifier and CR LF as text, and the message.
QMimeData* MakeDatabaseDragData(int index, const QString& identifier);

// The database index that a drop names; nothing when it brings no message or one that another
// program made up (count outside 0..49, size outside 0..255).
std::optional<int> ReceivedEntryIndex(const QMimeData& drop);

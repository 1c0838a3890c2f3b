#include "database/VantoraDragDrop.h"

#include "database/SpeakerDatabase.h"

#include <QMimeData>
#include <QtEndian>

#include <algorithm>
#include <cstring>

namespace {

constexpr qsizetype DataOffset = 0;
constexpr qsizetype SizeOffset = 512;
constexpr qsizetype CountOffset = 516;
constexpr int MaxSize = 255;

} // namespace

void TVantoraMsgClipboardFormat::Clear()
{
    FVantoraMsg.fill(0);
    FGotVantoraMsgData = false;
}

bool TVantoraMsgClipboardFormat::ReadFromBlock(const char* block, qsizetype size)
{
    FVantoraMsg.fill(0);
    if (block && size > 0)
        std::memcpy(FVantoraMsg.data(), block, static_cast<size_t>(std::min(size, BlockSize)));
    FGotVantoraMsgData = true;
    return true;
}

bool TVantoraMsgClipboardFormat::WriteToBlock(char* block, qsizetype size) const
{
    if (!block || size != BlockSize)
        return false;
    std::memcpy(block, FVantoraMsg.data(), FVantoraMsg.size());
    return true;
}

TVantoraMsg TVantoraMsgClipboardFormat::VantoraMsg() const
{
    TVantoraMsg msg;
    const char* bytes = FVantoraMsg.data();
    for (size_t i = 0; i < msg.data.size(); ++i)
        msg.data[i] = char16_t(qFromLittleEndian<quint16>(bytes + DataOffset + 2 * qsizetype(i)));
    msg.size = qFromLittleEndian<std::int32_t>(bytes + SizeOffset);
    msg.count = qFromLittleEndian<std::int32_t>(bytes + CountOffset);
    return msg;
}

void TVantoraMsgClipboardFormat::SetVantoraMsg(const TVantoraMsg& msg)
{
    char* bytes = FVantoraMsg.data();
    for (size_t i = 0; i < msg.data.size(); ++i)
        qToLittleEndian<quint16>(quint16(msg.data[i]), bytes + DataOffset + 2 * qsizetype(i));
    qToLittleEndian<std::int32_t>(msg.size, bytes + SizeOffset);
    qToLittleEndian<std::int32_t>(msg.count, bytes + CountOffset);
    FGotVantoraMsgData = true;
}

void TVantoraMsgDataFormat::Clear()
{
    FVantoraMsg = TVantoraMsg{};
    FGotVantoraMsgData = false;
}

void TVantoraMsgDataFormat::SetVantoraMsg(const TVantoraMsg& msg)
{
    FVantoraMsg = msg;
    FGotVantoraMsgData = true;
}

bool TVantoraMsgDataFormat::Assign(const TVantoraMsgClipboardFormat& source)
{
    FVantoraMsg = source.VantoraMsg();
    FGotVantoraMsgData = true;
    return true;
}

bool TVantoraMsgDataFormat::AssignTo(TVantoraMsgClipboardFormat& destination) const
{
    destination.SetVantoraMsg(FVantoraMsg);
    return true;
}

QString VantoraFormatOf(const QMimeData& data)
{
    for (const QString& name : VantoraFormatNames())
        if (data.hasFormat(name))
            return name;
    return {};
}

bool TVantoraMsgDataFormat::Assign(const QMimeData& source)
{
    const QString format = VantoraFormatOf(source);
    if (format.isEmpty()) {
        Clear();
        return false;
    }
    const QByteArray block = source.data(format);
    TVantoraMsgClipboardFormat medium;
    medium.ReadFromBlock(block.constData(), block.size());
    return Assign(medium);
}

bool TVantoraMsgDataFormat::AssignTo(QMimeData& destination) const
{
    TVantoraMsgClipboardFormat medium;
    AssignTo(medium);
    QByteArray block(TVantoraMsgClipboardFormat::BlockSize, '\0');
    if (!medium.WriteToBlock(block.data(), block.size()))
        return false;
    destination.setData(VantoraFormat(), block);
    return true;
}

TVantoraMsg MakeVantoraMsg(int index, const QString& identifier)
{
    TVantoraMsg msg;
    msg.count = index;
    msg.size = static_cast<std::int32_t>(std::min<qsizetype>(identifier.size(), MaxSize));
    std::copy_n(identifier.utf16(), msg.size, msg.data.begin());
    return msg;
}

QMimeData* MakeDatabaseDragData(int index, const QString& identifier)
{
    auto* mime = new QMimeData;
    mime->setText(identifier + QStringLiteral("\r\n"));
    TVantoraMsgDataFormat format;
    format.SetVantoraMsg(MakeVantoraMsg(index, identifier));
    format.AssignTo(*mime);
    return mime;
}

std::optional<int> ReceivedEntryIndex(const QMimeData& drop)
{
    TVantoraMsgDataFormat format;
    if (!format.Assign(drop) || !format.HasData())
        return std::nullopt;
    const TVantoraMsg& msg = format.VantoraMsg();
    if (msg.count < 0 || msg.count >= PresetCount || msg.size < 0 || msg.size > MaxSize)
        return std::nullopt;
    return msg.count;
}

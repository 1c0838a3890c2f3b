#include "osc/ShowCommand.h"

#include "database/SpeakerDatabase.h"

namespace {

ShowCommand plain(const OscMessage& message, ShowCommand::Kind kind)
{
    return message.types.isEmpty() ? ShowCommand{kind, 0, {}} : ShowCommand{};
}

// The types "i" and "s" are read as int32 and string; symbols count as strings.
bool oneInteger(const OscMessage& message)
{
    return message.types == "i";
}

bool oneString(const OscMessage& message)
{
    return message.types == "s" || message.types == "S";
}

} // namespace

ShowCommand interpretShowMessage(const OscMessage& message)
{
    const QByteArray& address = message.address;
    if (address == "/elevra/speaker/take") {
        if (oneString(message))
            return {ShowCommand::SpeakerTakeByName, 0, std::get<QString>(message.arguments[0])};
        if (oneInteger(message)) {
            const int row = std::get<qint32>(message.arguments[0]);
            if (row >= 1 && row <= PresetCount)
                return {ShowCommand::SpeakerTakeByRow, row, {}};
        }
        return {};
    }
    if (address == "/elevra/runorder/take") {
        // Whether the row lies within the list is known only when it is carried out.
        if (oneInteger(message))
            return {ShowCommand::RunOrderTake, std::get<qint32>(message.arguments[0]), {}};
        return {};
    }
    if (address == "/elevra/runorder/next")
        return plain(message, ShowCommand::RunOrderNext);
    if (address == "/elevra/runorder/previous")
        return plain(message, ShowCommand::RunOrderPrevious);
    if (address == "/elevra/stands/take")
        return plain(message, ShowCommand::StandsTake);
    if (address == "/elevra/stands/home")
        return plain(message, ShowCommand::StandsHome);
    if (address == "/elevra/stands/abort")
        return plain(message, ShowCommand::StandsAbort);
    if (address == "/elevra/query")
        return plain(message, ShowCommand::Query);
    return {};
}

#pragma once

#include <QString>
#include <QtGlobal>

// One stand reply (":", stand digit, "A", four hex height characters, two checksum
// characters) as it is assembled.
struct TCommData {
    quint8 address = 0;  // stand index; digit "0" wraps to 255
    QString data;        // the four height characters
    int check = 0;       // sum of the codes of the stand digit, "A" and the height characters
    QString checksum;    // the two checksum characters, kept but not compared
};

// Consumes received bytes one at a time. The state survives between received blocks and
// port restarts, so a frame may arrive split over several blocks.
class ReplyParser {
public:
    // Returns true when ch completed a frame; the frame is then in Reply.
    bool ParseReplyChar(char ch);

    // Every complete frame is used; the stand side's checksum is not defined for us.
    static bool ReplyAccepted(const TCommData& reply);

    const TCommData& Reply() const { return reply_; }
    int ReplyState() const { return state_; }

private:
    TCommData reply_;
    int state_ = 0;
};

#include "stand/ReplyParser.h"

bool ReplyParser::ParseReplyChar(char ch)
{
    const int code = static_cast<unsigned char>(ch);
    switch (state_) {
    case 0:
        if (ch == ':') {
            reply_.data.clear();
            reply_.check = 0;
            state_ = 1;
        }
        return false;
    case 1: {
        const int digit = (ch >= '0' && ch <= '9') ? ch - '0' : 1;
        reply_.address = static_cast<quint8>(digit - 1);
        reply_.check = code;
        state_ = 2;
        return false;
    }
    case 2:
        if (ch == 'A') {
            reply_.check += code;
            state_ = 3;
        } else {
            state_ = 0;
        }
        return false;
    case 3:
        reply_.data = QChar::fromLatin1(ch);
        reply_.check += code;
        state_ = 4;
        return false;
    case 4:
    case 5:
    case 6:
        reply_.data += QChar::fromLatin1(ch);
        reply_.check += code;
        ++state_;
        return false;
    case 7:
        reply_.checksum = QChar::fromLatin1(ch);
        state_ = 8;
        return false;
    default:
        reply_.checksum += QChar::fromLatin1(ch);
        state_ = 0;
        return true;
    }
}

bool ReplyParser::ReplyAccepted(const TCommData&)
{
    return true;
}

#include "view/TokenGate.h"

#include <algorithm>

bool TokenGate::matches(const QByteArray& presented) const
{
    if (token_.isEmpty() || presented.size() != token_.size())
        return false;
    // Every byte is looked at, so that the time taken tells nothing about the token.
    unsigned char difference = 0;
    for (qsizetype i = 0; i < token_.size(); ++i)
        difference |= static_cast<unsigned char>(token_[i] ^ presented[i]);
    return difference == 0;
}

qint64 TokenGate::waitLeft(const QString& address, qint64 now) const
{
    const auto it = tries_.find(address);
    if (it == tries_.end() || it->second.wrongInRow < FreeTries)
        return 0;
    return std::max<qint64>(0, it->second.lastWrong + Delay - now);
}

void TokenGate::makeRoom()
{
    if (tries_.size() < AddressesKept)
        return;
    tries_.erase(std::min_element(tries_.begin(), tries_.end(), [](const auto& a, const auto& b) {
        return a.second.lastWrong < b.second.lastWrong;
    }));
}

TokenGate::Verdict TokenGate::check(const QString& address, const QByteArray& presented, qint64 now)
{
    if (waitLeft(address, now) > 0) {
        ++refusals_;
        return Verdict::Wait;
    }
    if (matches(presented)) {
        tries_.erase(address);
        return Verdict::Accepted;
    }
    ++refusals_;
    if (!tries_.count(address))
        makeRoom();
    Tries& tries = tries_[address];
    ++tries.wrongInRow;
    tries.lastWrong = now;
    return Verdict::Wrong;
}

#pragma once

#include <QByteArray>
#include <QString>

#include <map>

// Whether a token that a client presents may drive the show. Wrong tokens are counted for
// each address; after FreeTries wrong ones in a row an address is heard again only Delay ms
// after its last wrong try, and a try before then is refused without being looked at. The
// right token clears the address's count.
class TokenGate {
public:
    static constexpr int FreeTries = 5;
    static constexpr qint64 Delay = 2000;
    // Addresses remembered at once; the one that tried longest ago makes room.
    static constexpr size_t AddressesKept = 64;

    enum class Verdict { Accepted, Wrong, Wait };

    explicit TokenGate(QByteArray token) : token_(std::move(token)) {}

    // `now` in ms on a steady clock.
    Verdict check(const QString& address, const QByteArray& presented, qint64 now);
    // How long `address` must still wait before it is heard again; 0 when it need not.
    qint64 waitLeft(const QString& address, qint64 now) const;
    // Tries refused so far, wrong or too early.
    int refusals() const { return refusals_; }

private:
    struct Tries {
        int wrongInRow = 0;
        qint64 lastWrong = 0;
    };
    bool matches(const QByteArray& presented) const;
    void makeRoom();

    QByteArray token_;
    std::map<QString, Tries> tries_;
    int refusals_ = 0;
};

#pragma once

#include <QString>

// Where the takes that the operator starts are announced to the prompting application. The
// prompter link implements it and converts the text to the system's 8-bit code page.
class PrompterAnnouncer {
public:
    virtual ~PrompterAnnouncer() = default;
    virtual void DdeSend(const QString& text) = 0;
};

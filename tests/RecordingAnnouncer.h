#pragma once

#include "stand/PrompterAnnouncer.h"

#include <QStringList>

// What the program would tell the prompting application, kept instead of sent.
struct RecordingAnnouncer : PrompterAnnouncer {
    QStringList sent;
    void DdeSend(const QString& text) override { sent << text; }
};

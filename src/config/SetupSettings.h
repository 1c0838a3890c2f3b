#pragma once

#include "common/StandCount.h"

#include <QString>

#include <optional>
#include <string>

// The settings the setup dialog changes. The dialog works on a copy and hands it back, so
// settings that other windows change meanwhile (the database file, say) are never put back.
struct SetupSettings {
    bool SerialHandControl = true;
    int ComPortNumber = 1;
    int StandsDisplayed = StandCount;
    bool DatabaseFromTarget = false;
    bool PrompterLinkEnabled = false;
};

// The port field's text as a port number: blanks trimmed, 1 when it is not a number (so an
// empty field means port 1). Nothing when the number is outside 1 to 255.
std::optional<int> portNumberFromField(QString text);

// The stand count field's text: 8 when it is not a number (so an empty field means 8), and
// at most 8. 0 stays 0: no stand is shown.
int standCountFromField(const QString& text);

// What the USB adapter's port name puts into the port field: the rest after "COM" in any
// letter case; nothing when the name does not begin with "COM".
std::optional<QString> portFieldFromPortName(const std::string& portName);

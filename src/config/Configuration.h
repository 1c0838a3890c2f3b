#pragma once

#include "common/StandCount.h"
#include "common/WindowGeometry.h"

#include <QString>
#include <QStringList>
#include <array>

// Layout of the run order window as kept in the section "Run Screen".
struct RunScreenLayout : WindowGeometry {
    int c0 = 20;
    int rowCount = 1;
};

// Layout of the database window as kept in the section "Database".
struct DatabaseLayout : WindowGeometry {
    std::array<int, 9> columns{20, 20, 20, 20, 20, 20, 20, 20, 20};
};

// The section "Show Control": OSC from a control surface. An empty feedback host or port is
// taken from the sender of the last message; only the allowed senders are obeyed.
struct ShowControlSettings {
    bool Enabled = false;
    QString ListenAddress = QStringLiteral("127.0.0.1");
    int ListenPort = 9030;
    QString FeedbackHost;
    QString FeedbackPort;
    QString AllowedSenders = QStringLiteral("127.0.0.1, ::1");
};

// The section "Show View": the live page for the crew, served by the program.
struct ShowViewSettings {
    bool Enabled = false;
    QString ListenAddress = QStringLiteral("127.0.0.1");
    int Port = 9040;
};

// The settings that live from start to close; read once, written once.
struct Configuration {
    WindowPlace mainWindow{100, 100};
    bool PrompterLinkEnabled = false;
    QString PrompterLinkName = QStringLiteral("Telvio - Vantora");
    int ScaleFactor = 94;
    int StandsDisplayed = StandCount;
    int ComPortNumber = 1;
    bool SerialHandControl = true;
    QString RunOrderFileName;
    QString DatabaseFileName;
    bool DatabaseFromTarget = false;
    ShowControlSettings ShowControl;
    ShowViewSettings ShowView;

    static constexpr int DefaultScaleFactor = 94;
};

// Reads the settings of the main window; the database file is loaded by the caller.
Configuration RetrieveConfiguration(const QString& iniFileName, const QString& defaultDatabaseFileName);

RunScreenLayout retrieveRunScreenLayout(const QString& iniFileName);
DatabaseLayout retrieveDatabaseLayout(const QString& iniFileName);
QStringList retrieveRunOrderList(const QString& iniFileName);

// Everything that the close writes back, in the order the file expects it.
struct ConfigurationSnapshot {
    Configuration settings;
    RunScreenLayout runScreen;
    DatabaseLayout database;
    QStringList runOrder;
};

// Throws AppError at the first key that cannot be written; the keys before it stay written.
void SaveConfiguration(const QString& iniFileName, const ConfigurationSnapshot& snapshot);

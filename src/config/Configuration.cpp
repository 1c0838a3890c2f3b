#include "config/Configuration.h"

#include "config/IniFile.h"

#include <algorithm>

namespace {
const QString Main = QStringLiteral("Main");
const QString Database = QStringLiteral("Database");
const QString RunScreen = QStringLiteral("Run Screen");
const QString RunOrder = QStringLiteral("Run Order");
const QString ShowControl = QStringLiteral("Show Control");
const QString ShowView = QStringLiteral("Show View");

WindowPlace readPlace(const IniFile& ini, const QString& section, WindowPlace place)
{
    place.top = ini.ReadInteger(section, "Top", place.top);
    place.left = ini.ReadInteger(section, "Left", place.left);
    return place;
}

void readGeometry(const IniFile& ini, const QString& section, WindowGeometry& geometry)
{
    static_cast<WindowPlace&>(geometry) = readPlace(ini, section, geometry);
    geometry.width = ini.ReadInteger(section, "Width", geometry.width);
    geometry.height = ini.ReadInteger(section, "Height", geometry.height);
    geometry.visible = ini.ReadBool(section, "Visible", geometry.visible);
}

void writePlace(IniFile& ini, const QString& section, const WindowPlace& place)
{
    ini.WriteInteger(section, "Top", place.top);
    ini.WriteInteger(section, "Left", place.left);
}

// "Visible" is left to the caller: each section keeps it in its own place.
void writePlaceAndSize(IniFile& ini, const QString& section, const WindowGeometry& geometry)
{
    writePlace(ini, section, geometry);
    ini.WriteInteger(section, "Width", geometry.width);
    ini.WriteInteger(section, "Height", geometry.height);
}

// "R" and the entry's number; called once per entry of a run order that may be long.
QString runOrderKey(qsizetype i)
{
    return QLatin1Char('R') + QString::number(i);
}
} // namespace

Configuration RetrieveConfiguration(const QString& iniFileName, const QString& defaultDatabaseFileName)
{
    const IniFile ini(iniFileName);
    Configuration c;
    c.mainWindow = readPlace(ini, Main, c.mainWindow);
    c.PrompterLinkEnabled = ini.ReadBool(Main, "Telvio Link Enabled", false);
    c.PrompterLinkName = ini.ReadString(Main, "Telvio Link Name", "Telvio - Vantora");
    c.ScaleFactor = ini.ReadInteger(Main, "Scale Factor", Configuration::DefaultScaleFactor);
    // Heights are divided by it; a factor below 1 would make every reply meaningless.
    if (c.ScaleFactor < 1)
        c.ScaleFactor = Configuration::DefaultScaleFactor;
    c.StandsDisplayed = std::clamp(ini.ReadInteger(Main, "Stands Displayed", StandCount), 1, StandCount);
    c.ComPortNumber = ini.ReadInteger(Main, "Com Port Number", 1);
    c.SerialHandControl = ini.ReadBool(Database, "Hand Control", true);
    c.RunOrderFileName = ini.ReadString(RunScreen, "Run Order Filename", QString());
    c.DatabaseFileName = ini.ReadString(Database, "Database Filename", defaultDatabaseFileName);
    c.DatabaseFromTarget = ini.ReadBool(Database, "Database Setup", false);
    ShowControlSettings& osc = c.ShowControl;
    osc.Enabled = ini.ReadBool(ShowControl, "OSC Enabled", osc.Enabled);
    osc.ListenAddress = ini.ReadString(ShowControl, "OSC Listen Address", osc.ListenAddress);
    osc.ListenPort = ini.ReadInteger(ShowControl, "OSC Listen Port", osc.ListenPort);
    osc.FeedbackHost = ini.ReadString(ShowControl, "OSC Feedback Host", osc.FeedbackHost);
    osc.FeedbackPort = ini.ReadString(ShowControl, "OSC Feedback Port", osc.FeedbackPort);
    osc.AllowedSenders = ini.ReadString(ShowControl, "OSC Allowed Senders", osc.AllowedSenders);
    ShowViewSettings& view = c.ShowView;
    view.Enabled = ini.ReadBool(ShowView, "Show View Enabled", view.Enabled);
    view.ListenAddress = ini.ReadString(ShowView, "Show View Listen Address", view.ListenAddress);
    view.Port = ini.ReadInteger(ShowView, "Show View Port", view.Port);
    return c;
}

RunScreenLayout retrieveRunScreenLayout(const QString& iniFileName)
{
    const IniFile ini(iniFileName);
    RunScreenLayout l;
    readGeometry(ini, RunScreen, l);
    l.c0 = ini.ReadInteger(RunScreen, "C0", l.c0);
    l.rowCount = ini.ReadInteger(RunScreen, "Row Count", l.rowCount);
    return l;
}

DatabaseLayout retrieveDatabaseLayout(const QString& iniFileName)
{
    const IniFile ini(iniFileName);
    DatabaseLayout l;
    readGeometry(ini, Database, l);
    for (size_t i = 0; i < l.columns.size(); ++i)
        l.columns[i] = ini.ReadInteger(Database, QStringLiteral("C%1").arg(i), l.columns[i]);
    return l;
}

QStringList retrieveRunOrderList(const QString& iniFileName)
{
    const IniFile ini(iniFileName);
    QStringList list;
    for (int i = 0;; ++i) {
        const QString entry = ini.ReadString(RunOrder, runOrderKey(i), QStringLiteral("X"));
        if (entry == QLatin1String("X"))
            return list;
        list.append(entry);
    }
}

void SaveConfiguration(const QString& iniFileName, const ConfigurationSnapshot& snapshot)
{
    const Configuration& c = snapshot.settings;
    const RunScreenLayout& run = snapshot.runScreen;
    const DatabaseLayout& db = snapshot.database;
    IniFile ini(iniFileName);

    writePlace(ini, Main, c.mainWindow);
    ini.WriteInteger(Main, "Com Port Number", c.ComPortNumber);
    ini.WriteBool(Database, "Hand Control", c.SerialHandControl);
    ini.WriteBool(Main, "Telvio Link Enabled", c.PrompterLinkEnabled);
    ini.WriteString(Main, "Telvio Link Name", c.PrompterLinkName);
    ini.WriteInteger(Main, "Scale Factor", c.ScaleFactor);
    ini.WriteInteger(Main, "Stands Displayed", c.StandsDisplayed);
    ini.WriteBool(Database, "Database Setup", c.DatabaseFromTarget);

    ini.WriteInteger(RunScreen, "C0", run.c0);
    writePlaceAndSize(ini, RunScreen, run);
    ini.WriteInteger(RunScreen, "Row Count", run.rowCount);
    ini.WriteBool(RunScreen, "Visible", run.visible);
    ini.WriteString(RunScreen, "Run Order Filename", c.RunOrderFileName);

    // Before the run order, which is written last so that its section stays at the end.
    ini.WriteBool(ShowControl, "OSC Enabled", c.ShowControl.Enabled);
    ini.WriteString(ShowControl, "OSC Listen Address", c.ShowControl.ListenAddress);
    ini.WriteInteger(ShowControl, "OSC Listen Port", c.ShowControl.ListenPort);
    ini.WriteString(ShowControl, "OSC Feedback Host", c.ShowControl.FeedbackHost);
    ini.WriteString(ShowControl, "OSC Feedback Port", c.ShowControl.FeedbackPort);
    ini.WriteString(ShowControl, "OSC Allowed Senders", c.ShowControl.AllowedSenders);
    ini.WriteBool(ShowView, "Show View Enabled", c.ShowView.Enabled);
    ini.WriteString(ShowView, "Show View Listen Address", c.ShowView.ListenAddress);
    ini.WriteInteger(ShowView, "Show View Port", c.ShowView.Port);

    ini.EraseSection(RunOrder);
    for (qsizetype i = 0; i < snapshot.runOrder.size(); ++i)
        ini.WriteString(RunOrder, runOrderKey(i), snapshot.runOrder[i]);

    for (size_t i = 0; i < db.columns.size(); ++i)
        ini.WriteInteger(Database, QStringLiteral("C%1").arg(i), db.columns[i]);
    writePlaceAndSize(ini, Database, db);
    ini.WriteBool(Database, "Visible", db.visible);
    ini.WriteString(Database, "Database Filename", c.DatabaseFileName);
    ini.updateFile();
}

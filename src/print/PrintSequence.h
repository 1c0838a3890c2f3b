#pragma once

#include "SpeakerDatabase.h"

#include <QStringList>

class QPrinter;
class QWidget;

// The program's printer: the one chosen last in the print dialog, offered again the next time.
QPrinter& PrinterDevice();

// The Print buttons of the run order window and of the database window: the print dialog over
// `parent`, then the report as one job on the chosen printer. Cancel prints nothing; a printer
// that cannot take the job is reported in a message box with the reason.
void PrintRunOrder(const QStringList& RunOrderList, const PresetTable& Presets, QWidget* parent);
void PrintDatabase(const PresetTable& Presets, QWidget* parent);

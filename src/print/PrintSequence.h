#pragma once

#include "database/SpeakerDatabase.h"

#include <QStringList>

class QPrinter;
class QWidget;

// The resolution at which the reports are laid out. Their distances are fixed in device pixels:
// at 300 dpi the 80 pixels between a height and the next column's rule (0.27 in) hold a
// three-digit height in the 10-point table font, which a finer resolution would not.
constexpr int ReportResolution = 300;

// The program's printer: the one chosen last in the print dialog, offered again the next time.
QPrinter& PrinterDevice();

// The Print buttons of the run order window and of the database window: the print dialog over
// `parent`, then the report as one job on the chosen printer. Cancel prints nothing; a printer
// that cannot take the job is reported in a message box with the reason.
void PrintRunOrder(const QStringList& RunOrderList, const PresetTable& Presets, QWidget* parent);
void PrintDatabase(const PresetTable& Presets, QWidget* parent);

#pragma once

// The prompter tool's two commands, over the platform's link.

#include <QString>

class LinkServer;

constexpr int TakeTimeout = 5000;

// A line of the tool's log on stderr.
void say(const QString& text);

// Pokes `name` into the running program; 0 when processed, 1 when refused, 2 when unreachable.
int take(const QString& name, const QString& service);
// Serves "Telvio" under `service` and prints every announcement until told to stop.
int serve(const QString& service);

// The platform's part of serve(): catching the request to stop (false when it cannot be
// caught), and where a registered server can be reached.
bool catchStopRequest();
QString servingPlace(const LinkServer& server, const QString& service);

// prompter: the prompting application's side of the link, for users and tests.
//   prompter take NAME [--service S]   pokes NAME into a running program
//   prompter serve [--service S]       serves "Telvio" and prints every announcement

#include "Prompter.h"

#include <QCoreApplication>
#include <QStringList>

#include <cstdio>

namespace {

const char* const Usage =
    "usage: prompter take NAME [--service SERVICE]\n"
    "         pokes NAME into the running program (service \"Elevra\"); exit code 0 when it\n"
    "         was processed, 1 when refused, 2 when the program could not be reached\n"
    "       prompter serve [--service SERVICE]\n"
    "         serves the topic \"Telvio\" under SERVICE (\"Telvio - Vantora\") and prints every\n"
    "         announcement it receives on a line of its own, until SIGTERM or SIGINT\n";

} // namespace

void say(const QString& text)
{
    std::fprintf(stderr, "prompter: %s\n", qPrintable(text));
}

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    QString service;
    if (const qsizetype at = args.indexOf(QStringLiteral("--service")); at >= 0 && at + 1 < args.size()) {
        service = args.at(at + 1);
        args.remove(at, 2);
    }
    if (args.size() == 2 && args[0] == u"take")
        return take(args[1], service.isEmpty() ? QStringLiteral("Elevra") : service);
    if (args.size() == 1 && args[0] == u"serve")
        return serve(service.isEmpty() ? QStringLiteral("Telvio - Vantora") : service);
    std::fputs(Usage, args.isEmpty() || args[0] == u"--help" ? stdout : stderr);
    return args.isEmpty() || args[0] == u"--help" ? 0 : 64;
}

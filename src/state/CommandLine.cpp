#include "state/CommandLine.h"

#include <QCommandLineParser>
#include <QCoreApplication>

CommandLineRequest parseCommandLine(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QCoreApplication::translate("CommandLine", "Desktop client for the Frigate network video recorder."));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QCoreApplication::translate("CommandLine", "Show this help and exit."));
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
                                     QCoreApplication::translate("CommandLine", "Show the version and exit."));
    const QCommandLineOption server(
        QStringLiteral("server"),
        QCoreApplication::translate("CommandLine", "Connect to the stored server called <name>."),
        //: Placeholder of the --server option in the help text.
        QCoreApplication::translate("CommandLine", "name"));
    const QCommandLineOption lang(
        QStringLiteral("lang"),
        QCoreApplication::translate("CommandLine", "Use the interface language <code> (en, it)."),
        QStringLiteral("code"));
    parser.addOptions({help, version, server, lang});

    CommandLineRequest request;
    if (!parser.parse(arguments)) {
        request.exitCode = 2;
        request.message = parser.errorText() + QLatin1Char('\n')
                        + QCoreApplication::translate("CommandLine", "Try \"%1 --help\".")
                              .arg(arguments.value(0, QStringLiteral("kestrova")))
                        + QLatin1Char('\n');
        return request;
    }
    if (parser.isSet(help)) {
        request.exitCode = 0;
        request.message = parser.helpText();
        return request;
    }
    if (parser.isSet(version)) {
        request.exitCode = 0;
        request.message = QCoreApplication::applicationName() + QLatin1Char(' ')
                        + QCoreApplication::applicationVersion() + QLatin1Char('\n');
        return request;
    }
    if (!parser.positionalArguments().isEmpty()) {
        request.exitCode = 2;
        request.message = QCoreApplication::translate("CommandLine", "Unexpected argument: %1")
                              .arg(parser.positionalArguments().first())
                        + QLatin1Char('\n');
        return request;
    }
    request.server = parser.value(server);
    return request;
}

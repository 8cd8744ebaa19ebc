#pragma once
#include <QString>
#include <QStringList>
#include <optional>

// What the command line asks of this run. `--help` and `--version` end it at once with their text
// on standard output; a mistake ends it with exit code 2 and a message for standard error, so
// scripts can tell a typo from a failed connection.
struct CommandLineRequest
{
    std::optional<int> exitCode; // set: end the process with this code before any window opens
    QString message;             // what to print first: stdout for code 0, stderr otherwise
    QString server;              // --server NAME: the stored server to connect to, empty if none
};

// `arguments` as main() receives them, the program name first. --lang is accepted here and read
// by Translations, which runs before anything else.
CommandLineRequest parseCommandLine(const QStringList &arguments);

// The stored server a --server NAME means: the one whose name matches exactly, else the only one
// matching without regard to case. None when no server or several match.
template <class Server>
std::optional<Server> serverNamed(const QList<Server> &servers, const QString &name)
{
    std::optional<Server> caseless;
    int caselessCount = 0;
    for (const Server &server : servers) {
        if (server.serverName == name)
            return server;
        if (server.serverName.compare(name, Qt::CaseInsensitive) == 0) {
            caseless = server;
            ++caselessCount;
        }
    }
    return caselessCount == 1 ? caseless : std::nullopt;
}

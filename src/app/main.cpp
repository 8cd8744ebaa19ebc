#include "client/Logging.h"
#include "client/ServerTrust.h"
#include "desktop/AlertNotifications.h"
#include "desktop/DesktopNotifications.h"
#include "desktop/SingleInstance.h"
#include "screens/RemoteImageCache.h"
#include "screens/WindowPlacement.h"
#include "state/AppModel.h"
#include "state/CommandLine.h"
#include "state/KeychainSecretStore.h"
#include "state/SettingsPreferencesStore.h"
#include "state/Translations.h"

#include <QGuiApplication>
#include <QQmlApplicationEngine>
#include <QQmlExtensionPlugin>
#include <QQuickStyle>
#include <cstdio>

Q_IMPORT_QML_PLUGIN(KestrovaPlugin)

namespace {

// Opens the first window, then connects to the server --server named, or as the stored list
// says. A --server name that matches no stored server ends the process before any window opens.
QCoro::Task<> start(QQmlApplicationEngine &engine, AppModel &model, QString server)
{
    std::optional<ServerSettings> asked;
    if (!server.isEmpty()) {
        asked = serverNamed(model.serverList().servers, server);
        if (!asked) {
            const QString message = QCoreApplication::translate("CommandLine", "No stored server is called \"%1\".");
            std::fprintf(stderr, "%s\n", qPrintable(message.arg(server)));
            // Queued: the list may load before the event loop runs, when exit() alone does nothing.
            QMetaObject::invokeMethod(qApp, [] { QCoreApplication::exit(2); }, Qt::QueuedConnection);
            co_return;
        }
    }
    engine.load(QUrl(QStringLiteral("qrc:/Kestrova/Main.qml")));
    if (asked)
        co_await model.openServerWithIdText(asked->idText());
    else
        co_await model.bootstrap();
}

// Names every part of the app reads (settings paths, the version line, the desktop entry).
void nameApplication()
{
    QCoreApplication::setOrganizationName(QStringLiteral("Kestrova"));
    QCoreApplication::setApplicationName(QStringLiteral("Kestrova"));
    QCoreApplication::setApplicationVersion(QStringLiteral(KESTROVA_VERSION));
}

// Help, version and mistakes are answered without a display, so they work over ssh and in
// scripts; only then is the GUI application made.
std::optional<int> answerWithoutWindow(int argc, char *argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    if (!parseCommandLine(arguments).exitCode)
        return std::nullopt;
    QCoreApplication app(argc, argv);
    nameApplication();
    Translations translations;
    translations.install(Translations::chooseForProcess());
    // Parsed again now that the texts can be translated.
    const CommandLineRequest request = parseCommandLine(arguments);
    std::fputs(qPrintable(request.message), *request.exitCode == 0 ? stdout : stderr);
    return request.exitCode;
}

// Another launch asked this one to come forward, and to connect to its --server if it named one.
void answerActivation(AppModel &model, const QString &server)
{
    model.requestRaise();
    if (server.isEmpty())
        return;
    const auto asked = serverNamed(model.serverList().servers, server);
    if (!asked) {
        qCWarning(lcDesktop) << "no stored server is called" << server;
        return;
    }
    if (model.isLoggedIn() && model.settings().id == asked->id)
        return;
    model.openServerWithIdText(asked->idText());
}

} // namespace

int main(int argc, char *argv[])
{
    if (const auto exitCode = answerWithoutWindow(argc, argv))
        return *exitCode;
    QGuiApplication app(argc, argv);
    nameApplication();
    QGuiApplication::setDesktopFileName(QStringLiteral(KESTROVA_APP_ID));
    QQuickStyle::setStyle(QStringLiteral("Basic"));
    // Before any model or screen exists, so every text and date is made in the chosen language.
    Translations translations;
    translations.install(Translations::chooseForProcess());
    const CommandLineRequest request = parseCommandLine(QCoreApplication::arguments());

    const QDBusConnection bus = QDBusConnection::sessionBus();
    SingleInstance instance(bus, SingleInstance::serviceNameFor(SettingsPreferencesStore::defaultFilePath()));
    if (instance.claimOrHandOver(request.server) == SingleInstance::Outcome::HandedOver)
        return 0;

    SettingsPreferencesStore preferences;
    KeychainSecretStore secrets;
    ServerTrust trust(&preferences);
    AppModel model(&preferences, &secrets, &trust);
    AppModel::setInstance(&model);
    RemoteImageCache::setModel(&model);
    WindowPlacement::setPreferences(&preferences);
    QObject::connect(&instance, &SingleInstance::activationRequested, &model,
                     [&model](const QString &server) { answerActivation(model, server); });
    DesktopNotifications notifications(bus);
    AlertNotifications alertNotifications(&model, &notifications);

    QQmlApplicationEngine engine;
    QObject::connect(&engine, &QQmlApplicationEngine::objectCreationFailed, &app,
                     [] { QCoreApplication::exit(1); }, Qt::QueuedConnection);
    // The server list must be loaded (and an older store migrated) before the first screen decides
    // between login, picker and tabs, and before --server can be looked up in it.
    model.initialize().then([&engine, &model, server = request.server] { return start(engine, model, server); });
    const int status = app.exec();
    RemoteImageCache::setModel(nullptr);
    WindowPlacement::setPreferences(nullptr);
    return status;
}

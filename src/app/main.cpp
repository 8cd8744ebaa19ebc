#include "client/ServerTrust.h"
#include "screens/RemoteImageCache.h"
#include "state/AppModel.h"
#include "state/KeychainSecretStore.h"
#include "state/SettingsPreferencesStore.h"
#include "state/Translations.h"

#include <QGuiApplication>
#include <QQmlApplicationEngine>
#include <QQmlExtensionPlugin>
#include <QQuickStyle>

Q_IMPORT_QML_PLUGIN(KestrovaPlugin)

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    QGuiApplication::setOrganizationName(QStringLiteral("Kestrova"));
    QGuiApplication::setApplicationName(QStringLiteral("Kestrova"));
    QGuiApplication::setApplicationVersion(QStringLiteral(KESTROVA_VERSION));
    QGuiApplication::setDesktopFileName(QStringLiteral("org.kestrova.Kestrova"));
    QQuickStyle::setStyle(QStringLiteral("Basic"));
    // Before any model or screen exists, so every text and date is made in the chosen language.
    Translations translations;
    translations.install(Translations::chooseForProcess());

    SettingsPreferencesStore preferences;
    KeychainSecretStore secrets;
    ServerTrust trust(&preferences);
    AppModel model(&preferences, &secrets, &trust);
    AppModel::setInstance(&model);
    RemoteImageCache::setModel(&model);

    QQmlApplicationEngine engine;
    QObject::connect(&engine, &QQmlApplicationEngine::objectCreationFailed, &app,
                     [] { QCoreApplication::exit(1); }, Qt::QueuedConnection);
    // The server list must be loaded (and an older store migrated) before the first screen decides
    // between login, picker and tabs.
    model.initialize().then([&engine, &model] {
        engine.load(QUrl(QStringLiteral("qrc:/Kestrova/Main.qml")));
        return model.bootstrap();
    });
    const int status = app.exec();
    RemoteImageCache::setModel(nullptr);
    return status;
}

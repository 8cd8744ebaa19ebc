#include "screens/RemoteImageCache.h"
#include "state/AppModel.h"
#include "state/MemoryPreferencesStore.h"
#include "state/MemorySecretStore.h"

#include <QQmlEngine>
#include <QQmlExtensionPlugin>
#include <QQuickStyle>
#include <QtQuickTest>
#include <memory>

Q_IMPORT_QML_PLUGIN(KestrovaPlugin)

// The QML suites run against an application model over memory stores: nothing configured at
// start, secrets kept in memory, no keyring and no settings file touched.
class Setup : public QObject
{
    Q_OBJECT

public slots:
    void applicationAvailable()
    {
        QQuickStyle::setStyle(QStringLiteral("Basic"));
        m_preferences = std::make_unique<MemoryPreferencesStore>();
        m_secrets = std::make_unique<MemorySecretStore>();
        m_model = std::make_unique<AppModel>(m_preferences.get(), m_secrets.get());
        QCoro::waitFor(m_model->initialize());
        AppModel::setInstance(m_model.get());
        RemoteImageCache::setModel(m_model.get());
    }

    // The module's QML files live under qrc:/Kestrova.
    void qmlEngineAvailable(QQmlEngine *engine) { engine->addImportPath(QStringLiteral("qrc:/")); }

    void cleanupTestCase()
    {
        RemoteImageCache::setModel(nullptr);
        AppModel::setInstance(nullptr);
        m_model.reset();
    }

private:
    std::unique_ptr<MemoryPreferencesStore> m_preferences;
    std::unique_ptr<MemorySecretStore> m_secrets;
    std::unique_ptr<AppModel> m_model;
};

QUICK_TEST_MAIN_WITH_SETUP(kestrova, Setup)

#include "main.moc"

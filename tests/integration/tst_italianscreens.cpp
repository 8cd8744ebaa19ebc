#include "SignedInModel.h"
#include "TaskRunner.h"
#include "screens/RemoteImageCache.h"
#include "state/Translations.h"

#include <QQmlComponent>
#include <QQmlEngine>
#include <QQmlExtensionPlugin>
#include <QQuickItem>
#include <QQuickStyle>
#include <QQuickWindow>
#include <QtTest>

Q_IMPORT_QML_PLUGIN(KestrovaPlugin)

namespace {

// Every text an item or its descendants show or offer as a placeholder, hidden ones included:
// a hidden English text is as untranslated as a shown one.
void collectTexts(const QQuickItem *item, QStringList &texts)
{
    for (const char *property : {"text", "placeholderText", "title"}) {
        const QVariant value = item->property(property);
        if (value.typeId() == QMetaType::QString && !value.toString().isEmpty())
            texts.append(value.toString());
    }
    for (const QQuickItem *child : item->childItems())
        collectTexts(child, texts);
}

// The screen `source` (QML importing Kestrova) shown in a window, with the texts it holds.
class ShownScreen
{
public:
    explicit ShownScreen(const QByteArray &source)
    {
        m_engine.addImportPath(QStringLiteral("qrc:/"));
        QQmlComponent component(&m_engine);
        component.setData(source, QUrl());
        m_item.reset(qobject_cast<QQuickItem *>(component.create()));
        if (!m_item) {
            qWarning() << component.errors();
            return;
        }
        m_item->setParentItem(m_window.contentItem());
        m_window.resize(900, 700);
        m_window.show();
    }

    bool exposed() { return m_item && QTest::qWaitForWindowExposed(&m_window); }

    QStringList texts() const
    {
        QStringList found;
        collectTexts(m_item.get(), found);
        return found;
    }

private:
    QQuickWindow m_window;
    QQmlEngine m_engine;
    std::unique_ptr<QQuickItem> m_item;
};

} // namespace

class TestItalianScreens : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QQuickStyle::setStyle(QStringLiteral("Basic")); }

    void cleanup()
    {
        RemoteImageCache::setModel(nullptr);
        AppModel::setInstance(nullptr);
        m_translations.install(QStringLiteral("en"), QLocale::c());
    }

    void loginForm_data()
    {
        QTest::addColumn<QString>("language");
        QTest::addColumn<QStringList>("shown");
        QTest::addColumn<QStringList>("absent");
        QTest::newRow("it") << "it" << QStringList{"Nuovo server", "Connetti", "Nome del sito"}
                            << QStringList{"New server", "Connect", "Site name"};
        QTest::newRow("en") << "en" << QStringList{"New server", "Connect", "Site name"}
                            << QStringList{"Nuovo server", "Connetti", "Nome del sito"};
    }

    void loginForm()
    {
        QFETCH(QString, language);
        QFETCH(QStringList, shown);
        QFETCH(QStringList, absent);
        MemoryPreferencesStore preferences;
        MemorySecretStore secrets;
        AppModel model(&preferences, &secrets);
        runTask(model.initialize());
        AppModel::setInstance(&model);
        m_translations.install(language, QLocale::c());

        ShownScreen screen("import Kestrova\nLoginView { width: 900; height: 700 }");
        QVERIFY(screen.exposed());
        const QStringList texts = screen.texts();
        for (const QString &text : shown)
            QVERIFY2(texts.contains(text), qPrintable(text + QStringLiteral(" not in ") + texts.join(QStringLiteral(" | "))));
        for (const QString &text : absent)
            QVERIFY2(!texts.contains(text), qPrintable(text));
    }

    // The alerts tab mixes QML texts with the rows' times and object names made in C++.
    void alertsInItalian()
    {
        SignedInModel signedIn;
        QVERIFY(signedIn.start(QStringLiteral("0.16")));
        AppModel::setInstance(signedIn.model.get());
        RemoteImageCache::setModel(signedIn.model.get());
        m_translations.install(QStringLiteral("it"), QLocale::c());

        ShownScreen screen("import Kestrova\nAlertsScreen { width: 900; height: 700 }");
        QVERIFY(screen.exposed());
        const auto hasItalianTime = [&screen] {
            const QStringList texts = screen.texts();
            return std::any_of(texts.cbegin(), texts.cend(),
                               [](const QString &t) { return t.endsWith(u" fa") || t == u"proprio ora"; });
        };
        QTRY_VERIFY_WITH_TIMEOUT(hasItalianTime(), 10000);
        const QStringList texts = screen.texts();
        QVERIFY(texts.contains(QStringLiteral("Avvisi")));
        QVERIFY(texts.contains(QStringLiteral("Tutti per ora")));
        for (const QString &text : texts) {
            QVERIFY2(!text.endsWith(u" ago") && text != u"Alerts" && text != u"All by hour", qPrintable(text));
        }
    }

private:
    Translations m_translations;
};

QTEST_MAIN(TestItalianScreens)
#include "tst_italianscreens.moc"

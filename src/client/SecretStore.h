#pragma once
#include <QObject>
#include <QString>
#include <QCoro/QCoroTask>
#include <optional>

// One text secret per account ("password.<ID>", "token.<ID>"). Failures are silent: a failed
// read gives nothing, a failed write leaves nothing. `available` turns false once the backing
// service has been found missing, so the login form can say the password will not be kept.
class SecretStore : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool available READ isAvailable NOTIFY availableChanged)
public:
    using QObject::QObject;
    virtual QCoro::Task<std::optional<QString>> readSecret(QString account) = 0;
    virtual QCoro::Task<> writeSecret(std::optional<QString> value, QString account) = 0;

    bool isAvailable() const { return m_available; }

signals:
    void availableChanged();

protected:
    void setAvailable(bool available)
    {
        if (m_available == available)
            return;
        m_available = available;
        emit availableChanged();
    }

private:
    bool m_available = true;
};

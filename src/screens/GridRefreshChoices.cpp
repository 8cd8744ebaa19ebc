#include "screens/GridRefreshChoices.h"

#include "state/AppModel.h"

QVariantList GridRefreshChoices::choices()
{
    const auto choice = [](double seconds, const QString &text) {
        return QVariantMap{{QStringLiteral("seconds"), seconds}, {QStringLiteral("text"), text}};
    };
    return {
        //: How often the camera grid's pictures are refreshed.
        choice(1, tr("Every second")),
        choice(2, tr("Every 2 seconds")),
        choice(5, tr("Every 5 seconds")),
    };
}

void GridRefreshChoices::choose(AppModel *model, double seconds)
{
    if (!model || !(seconds > 0))
        return;
    ServerSettings updated = model->settings();
    updated.gridRefreshSeconds = seconds;
    model->setSettings(updated);
}

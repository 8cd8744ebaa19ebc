#include "screens/GridRefreshChoices.h"

#include "state/AppModel.h"

#include <QLocale>
#include <algorithm>
#include <cmath>

namespace {
// Stored rates come from JSON and from these same constants; a tolerance only guards against
// a rate that went through text and back.
bool sameRate(double a, double b)
{
    return std::abs(a - b) < 1e-6;
}

QList<double> offeredSeconds(double current)
{
    QList<double> seconds = GridRefreshChoices::standardSeconds();
    const bool listed = std::any_of(seconds.begin(), seconds.end(), [current](double s) { return sameRate(s, current); });
    if (!listed && current > 0) {
        seconds.append(current);
        std::sort(seconds.begin(), seconds.end());
    }
    return seconds;
}
} // namespace

QList<double> GridRefreshChoices::standardSeconds()
{
    return {1, 2, 5, 10};
}

QString GridRefreshChoices::textFor(double seconds)
{
    //: How often the camera grid's pictures are refreshed.
    if (sameRate(seconds, 1))
        return tr("1 second");
    if (sameRate(seconds, 2))
        return tr("2 seconds");
    if (sameRate(seconds, 5))
        return tr("5 seconds");
    if (sameRate(seconds, 10))
        return tr("10 seconds");
    return tr("%1 seconds").arg(QLocale().toString(seconds, 'g', 3));
}

QVariantList GridRefreshChoices::choicesFor(double current)
{
    QVariantList choices;
    for (double seconds : offeredSeconds(current)) {
        choices.append(QVariantMap{{QStringLiteral("seconds"), seconds},
                                   {QStringLiteral("text"), textFor(seconds)},
                                   {QStringLiteral("chosen"), sameRate(seconds, current)}});
    }
    return choices;
}

void GridRefreshChoices::choose(AppModel *model, double seconds)
{
    if (!model || !(seconds > 0))
        return;
    ServerSettings updated = model->settings();
    updated.gridRefreshSeconds = seconds;
    model->setSettings(updated);
}

#pragma once
#include "desktop/NewAlertPolicy.h"

#include <QString>

struct AlertNoticeText
{
    QString title;
    QString body;
};

// One alert: its camera and what it saw ("Front Door: Person"), and when. Several: how many, and
// the cameras, newest first, each once. Cameras read as the app shows them.
AlertNoticeText alertNoticeText(const AlertNotice &notice, const QList<CameraInfo> &cameras);

#include "client/Logging.h"

Q_LOGGING_CATEGORY(lcClient, "kestrova.client", QtInfoMsg)
Q_LOGGING_CATEGORY(lcTrust, "kestrova.trust", QtInfoMsg)
Q_LOGGING_CATEGORY(lcState, "kestrova.state", QtInfoMsg)
Q_LOGGING_CATEGORY(lcPlayback, "kestrova.playback", QtInfoMsg)
Q_LOGGING_CATEGORY(lcMotion, "kestrova.motion", QtInfoMsg)
Q_LOGGING_CATEGORY(lcScreens, "kestrova.screens", QtInfoMsg)
Q_LOGGING_CATEGORY(lcDesktop, "kestrova.desktop", QtInfoMsg)

#include "Diagnostics.h"

Q_LOGGING_CATEGORY(Vorlane_View, "vorlane.view", QtWarningMsg)
Q_LOGGING_CATEGORY(Vorlane_Render, "vorlane.render", QtWarningMsg)

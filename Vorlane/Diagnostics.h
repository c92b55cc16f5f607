// Diagnostics of panning and zooming, and of when renders start and pictures arrive. Silent unless
// asked for, since a drag writes a line a step: QT_LOGGING_RULES="vorlane.view.debug=true" turns the
// first on, "vorlane.render.debug=true" the second.
#pragma once

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(Vorlane_View)
Q_DECLARE_LOGGING_CATEGORY(Vorlane_Render)

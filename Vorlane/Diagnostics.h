// Diagnostics of panning and zooming. Silent unless asked for, since a drag writes a line a step:
// QT_LOGGING_RULES="vorlane.view.debug=true" turns them on.
#pragma once

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(Vorlane_View)

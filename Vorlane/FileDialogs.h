// The program's file dialogs: each opens in the folder it chose from last (Desktop_Memory), and a
// save dialog adds its default extension to a name typed without one before it asks whether to
// replace a file of that name, so that nothing is replaced unasked or hidden from the open dialog.
#pragma once

#include <QString>

class QWidget;

// The file chosen, or empty when the user cancels. Dialog names the dialog's remembered folder.
QString Ask_Open_Path(QWidget* Parent, const char* Dialog, const QString& Title, const QString& Filter);
QString Ask_Save_Path(QWidget* Parent, const char* Dialog, const QString& Title, const QString& Suggested,
                      const QString& Filter, const QString& Default_Suffix);

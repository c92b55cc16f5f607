// What the program remembers between runs on a user's desktop: the folder each file dialog used
// last, and the window's size and place. Off until the program turns it on, so that the window
// built anywhere else (the tests) starts the same every time; the start picture is never remembered.
#pragma once

#include <QString>

class QWidget;

namespace Desktop_Memory {

// From now on the settings are read and written (QSettings of the application's name), or no longer.
void Enable(bool On = true);

// The folder the dialog named Dialog chose from last; empty when none is remembered.
QString Folder(const char* Dialog);
// Suggested joined to that folder where there is one, Suggested as it is otherwise.
QString In_Folder(const char* Dialog, const QString& Suggested);
// The folder of the file the dialog chose, remembered for its next time.
void Chosen(const char* Dialog, const QString& File);

// The window's size and place as last remembered, inside the screen that holds most of it.
void Restore_Window(QWidget* Window);
void Remember_Window(const QWidget* Window);

} // namespace Desktop_Memory

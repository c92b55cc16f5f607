#include "DesktopMemory.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QWidget>

namespace Desktop_Memory {

namespace {

bool Enabled = false;

QString Folder_Key(const char* Dialog)
{
    return QStringLiteral("folders/") + QLatin1String(Dialog);
}

} // namespace

void Enable(bool On)
{
    Enabled = On;
}

QString Folder(const char* Dialog)
{
    if (!Enabled)
        return {};
    const QString Remembered = QSettings().value(Folder_Key(Dialog)).toString();
    // A folder that has gone since is forgotten: the dialog would open somewhere arbitrary.
    return !Remembered.isEmpty() && QFileInfo(Remembered).isDir() ? Remembered : QString();
}

QString In_Folder(const char* Dialog, const QString& Suggested)
{
    const QString Remembered = Folder(Dialog);
    return Remembered.isEmpty() ? Suggested : QDir(Remembered).filePath(QFileInfo(Suggested).fileName());
}

void Chosen(const char* Dialog, const QString& File)
{
    if (Enabled && !File.isEmpty())
        QSettings().setValue(Folder_Key(Dialog), QFileInfo(File).absolutePath());
}

void Restore_Window(QWidget* Window)
{
    // restoreGeometry moves a window that would lie off every screen back onto one and shrinks it
    // to fit; the window's own fitting on its first show keeps it inside the available area.
    if (Enabled)
        Window->restoreGeometry(QSettings().value(QStringLiteral("window/geometry")).toByteArray());
}

void Remember_Window(const QWidget* Window)
{
    if (Enabled)
        QSettings().setValue(QStringLiteral("window/geometry"), Window->saveGeometry());
}

} // namespace Desktop_Memory

#include "FileDialogs.h"

#include <QFileDialog>

#include "DesktopMemory.h"

QString Ask_Open_Path(QWidget* Parent, const char* Dialog, const QString& Title, const QString& Filter)
{
    const QString Path = QFileDialog::getOpenFileName(Parent, Title, Desktop_Memory::Folder(Dialog), Filter);
    Desktop_Memory::Chosen(Dialog, Path);
    return Path;
}

QString Ask_Save_Path(QWidget* Parent, const char* Dialog, const QString& Title, const QString& Suggested,
                      const QString& Filter, const QString& Default_Suffix)
{
    QFileDialog Asking(Parent, Title, Desktop_Memory::In_Folder(Dialog, Suggested), Filter);
    Asking.setAcceptMode(QFileDialog::AcceptSave);
    Asking.setDefaultSuffix(Default_Suffix);
    if (Asking.exec() != QDialog::Accepted || Asking.selectedFiles().isEmpty())
        return {};
    const QString Path = Asking.selectedFiles().first();
    Desktop_Memory::Chosen(Dialog, Path);
    return Path;
}

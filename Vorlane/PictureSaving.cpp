#include "PictureSaving.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QImageWriter>
#include <QSaveFile>
#include <QStandardPaths>

#include "FileDialogs.h"
#include "Position.h"

namespace {

QString Tr(const char* Text)
{
    return QCoreApplication::translate("MainWindow", Text);
}

// Only a PNG keeps a position: Qt writes other formats' text, where they have room for any, without
// its line breaks.
bool Carries_Place(const QByteArray& Format)
{
    return Format == "png";
}

QByteArray Format_Named_By(const QString& Path)
{
    return QFileInfo(Path).suffix().toLower().toLatin1();
}

} // namespace

QString Ask_Picture_Path(QWidget* Parent, bool Mandelbrot)
{
    const QString Folder = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    const QString Suggested =
        QDir(Folder.isEmpty() ? QDir::homePath() : Folder).filePath(Mandelbrot ? "mandelbrot.png" : "julia.png");
    return Ask_Save_Path(Parent, "save-picture", Tr("Save Picture"), Suggested,
                         Tr("PNG image (*.png);;JPEG image (*.jpg *.jpeg);;BMP image (*.bmp);;TIFF image (*.tif *.tiff);;"
                            "All files (*)"),
                         QStringLiteral("png"));
}

// The file is written aside and put in place only when complete, so a failure leaves any file of
// that name as it was.
Saved_Picture Write_Picture(const QImage& Picture, const QString& Path, const QString& Position_Text)
{
    Saved_Picture Saved{Path, {}};
    if (QFileInfo(Saved.Path).suffix().isEmpty())
        Saved.Path += QStringLiteral(".png");
    const QByteArray Format = Format_Named_By(Saved.Path);
    if (Picture.isNull()) {
        Saved.Problem = Tr("there is no picture yet");
    } else if (!QImageWriter::supportedImageFormats().contains(Format)) {
        Saved.Problem = Tr("the format \"%1\" cannot be written").arg(QString::fromLatin1(Format));
    } else {
        QSaveFile File(Saved.Path);
        QImageWriter Writer(&File, Format);
        QImage Full_Size = Picture;
        Full_Size.setDevicePixelRatio(1.0);
        Saved.With_Place = Carries_Place(Format);
        if (Saved.With_Place)
            Full_Size.setText(QString::fromLatin1(Position_Picture_Key), Position_Text);
        if (!File.open(QIODevice::WriteOnly))
            Saved.Problem = File.errorString();
        else if (!Writer.write(Full_Size))
            Saved.Problem = Writer.errorString();
        else if (!File.commit())
            Saved.Problem = File.errorString();
    }
    return Saved;
}

QString Saved_Notice(const Saved_Picture& Saved, QSize Size)
{
    const QString Without_Place = Saved.With_Place ? QString() : Tr("; only PNG pictures carry their position");
    return Tr("Saved %1 (%2 x %3)%4").arg(Saved.Path).arg(Size.width()).arg(Size.height()).arg(Without_Place);
}

bool Picture_Without_Place(const QString& Path)
{
    const QByteArray Format = Format_Named_By(Path);
    return !Carries_Place(Format) && QImageWriter::supportedImageFormats().contains(Format);
}

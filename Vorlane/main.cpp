#include <QApplication>
#include <QLocale>
#include <QTranslator>

#include "MainWindow.h"

int main(int argc, char** argv)
{
    QApplication Application(argc, argv);

    // The first of the user's languages that has a translation wins; without one the texts stay as written.
    QTranslator Translator;
    const QStringList Languages = QLocale::system().uiLanguages();
    for (const QString& Language : Languages) {
        if (Translator.load(QStringLiteral(":/i18n/Vorlane_") + QLocale(Language).name())) {
            Application.installTranslator(&Translator);
            break;
        }
    }

    MainWindow Window;
    Window.show();
    return Application.exec();
}

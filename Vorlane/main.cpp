#include <QApplication>
#include <QCommandLineParser>
#include <QLocale>
#include <QTranslator>

#include <cstdio>

#include "DesktopMemory.h"
#include "MainWindow.h"
#include "Maker.h"

namespace {

// Vorlane [FILE], --help and --version. Help and version are answered before the application starts,
// so that they print and exit without a display, a window or a box.
struct Command_Line {
    QCommandLineParser Parser;
    QCommandLineOption Help = Parser.addHelpOption();
    QCommandLineOption Version = Parser.addVersionOption();

    Command_Line()
    {
        Parser.setApplicationDescription(QStringLiteral("Julia and Mandelbrot sets at any depth."));
        Parser.addPositionalArgument(QStringLiteral("FILE"),
                                     QStringLiteral("A position (.vorlane) or a picture saved with one (.png) to open."),
                                     QStringLiteral("[FILE]"));
    }

    // Whether the command line was answered at once: the help or the version printed.
    bool Answered_At_Once(int argc, char** argv)
    {
        QStringList Arguments;
        for (int i = 0; i < argc; ++i)
            Arguments << QString::fromLocal8Bit(argv[i]);
        Parser.parse(Arguments); // the toolkit's own options are not known yet: errors wait for Take
        if (Parser.isSet(Help)) // without an application the text cannot know the program's name
            std::fputs(qPrintable(Parser.helpText().replace(QStringLiteral("<executable_name>"), QStringLiteral("Vorlane"))),
                       stdout);
        else if (Parser.isSet(Version))
            std::printf("Vorlane %s\n", VORLANE_VERSION);
        else
            return false;
        return true;
    }

    // The arguments left once the application has taken its own: the file to open, if any. Exits
    // with a message on anything else.
    QString Take(const QApplication& Application)
    {
        Parser.process(Application);
        const QStringList Files = Parser.positionalArguments();
        if (Files.size() > 1) {
            std::fprintf(stderr, "Vorlane: one file at most (Vorlane --help)\n");
            std::exit(1);
        }
        return Files.isEmpty() ? QString() : Files.first();
    }
};

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication::setOrganizationName(QString::fromLatin1(Maker_Domain));
    QCoreApplication::setApplicationName(QStringLiteral("Vorlane"));
    QCoreApplication::setApplicationVersion(QStringLiteral(VORLANE_VERSION));
    Command_Line Command;
    if (Command.Answered_At_Once(argc, argv))
        return 0;

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

    const QString File = Command.Take(Application);
    Desktop_Memory::Enable();
    MainWindow Window;
    if (!File.isEmpty())
        Window.Open_At_Start(File);
    Desktop_Memory::Restore_Window(&Window);
    Window.show();
    const int Status_At_End = Application.exec();
    Desktop_Memory::Remember_Window(&Window);
    return Status_At_End;
}

// The number fields of the main window: the centre and the Julia constant typed, in several locales,
// what Return on them takes and refuses, and what the status line says of refused keys.
#include "TestWindow.h"

class Number_Fields_Test : public QObject {
    Q_OBJECT

private slots:
    // Every typed value, in the C locale and in two that write numbers with a decimal comma: the
    // program reads and writes one convention (a decimal point) whatever the locale.
    void Typed_Values_data()
    {
        QTest::addColumn<QLocale>("Locale");
        QTest::newRow("C") << QLocale::c();
        QTest::newRow("de_DE") << QLocale(QLocale::German, QLocale::Germany);
        QTest::newRow("fr_FR") << QLocale(QLocale::French, QLocale::France);
    }

    void Typed_Values()
    {
        QFETCH(QLocale, Locale);
        const QLocale Saved;
        QLocale::setDefault(Locale);
        Shown_Window E;
        QSlider* Slider = E.Get<QSlider>("Slide_Julia_Real");
        auto Text_Of = [&](const char* Edit) { return E.Get<QLineEdit>(Edit)->text(); };
        auto Renders_For = [&](const char* Edit, const QString& Text) { return Renders_During([&] { E.Type(Edit, Text); }); };
        auto Keys = [&](const char* Edit, const char* Typed) {
            E.Get<QLineEdit>(Edit)->clear();
            QTest::keyClicks(E.Get<QLineEdit>(Edit), Typed);
            return Text_Of(Edit);
        };

        // Return on a text as the program wrote it changes nothing and renders nothing: the Julia fields
        // after the first show (the constant is the decimal they show, k / 10000 for slider position k),
        // the centre fields after a drag, which show the centre in use to a tenth of a pixel only.
        QCOMPARE(E.Copied("julia-re"), QStringLiteral("-0.4001"));
        QCOMPARE(E.Copied("julia-im"), QStringLiteral("0.6"));
        QCOMPARE(Renders_For("LineEdit_Julia_I", Text_Of("LineEdit_Julia_I")), 0);
        QCOMPARE(Renders_For("LineEdit_Julia_R", Text_Of("LineEdit_Julia_R")), 0);
        COMPARE_PICTURE(E, Picture{});
        E.Drag({100, 100}, {{117, 93}});
        QVERIFY(Settle(E.Window));
        const QString X_Text = Text_Of("LineEdit_X"), Y_Text = Text_Of("LineEdit_Y"), X_Used = E.Copied("centre-re");
        QCOMPARE(Renders_For("LineEdit_X", X_Text), 0);
        QCOMPARE(E.Copied("centre-re"), X_Used);
        QCOMPARE(E.Boxes.Seen.size(), 1);
        const double Dx = 17.0 / E.View()->width() * 4.0, Dy = -7.0 / E.View()->height() * 4.0;
        const QSize Size = Device_Size(E.View());
        QVERIFY2(Centre_Shown(X_Text, -Dx, 4.0 / (Size.width() - 1)), qPrintable(X_Text));
        QVERIFY2(Centre_Shown(Y_Text, -Dy, 4.0 / (Size.height() - 1)), qPrintable(Y_Text));
        // Only an edited field is read: the other keeps the exact value in use.
        QCOMPARE(Renders_For("LineEdit_Y", "0.25"), 1);
        QCOMPARE(E.Copied("centre-re"), X_Used);
        QCOMPARE(E.Copied("centre-im").toDouble(), 0.25);
        const long double X_Shown = std::strtold(qPrintable(X_Used), nullptr), Y_Shown = 0.25L;
        // A slider step is its decimal too.
        Slider->setValue(Slider->value() + 1);
        QVERIFY(Settle(E.Window));
        QCOMPARE(E.Copied("julia-re"), QStringLiteral("-0.4"));

        // A typed Julia value is used and shown as typed, renders once; the slider follows.
        QCOMPARE(Renders_For("LineEdit_Julia_R", "-0.8"), 1);
        QCOMPARE(Slider->value(), -8001);
        QCOMPARE(Text_Of("LineEdit_Julia_R"), QStringLiteral("-0.8"));
        QCOMPARE(Renders_For("LineEdit_Julia_R", "2"), 1);
        QCOMPARE(Slider->value(), 20000);
        QCOMPARE(Renders_For("LineEdit_Julia_I", "0,60001"), 1);

        // Refused values change nothing, render nothing, and the field shows the value in use again.
        const QString Julia = QStringLiteral("Julia Values are limited to (-2.0 --> +2.0)"),
                      Centre = QStringLiteral("Coordinates are limited to (-10.0 --> +10.0)"),
                      Invalid = QStringLiteral("Invalid Number!");
        for (const auto& [Edit, Text, Box] : std::initializer_list<std::tuple<const char*, const char*, QString>>{
                 {"LineEdit_Julia_R", "-2.0001", Julia}, {"LineEdit_Julia_R", "1,000,5", Invalid},
                 {"LineEdit_Julia_R", "1e39", Invalid}, {"LineEdit_Julia_I", "abc", Invalid}, {"LineEdit_Julia_I", "-", Invalid},
                 {"LineEdit_Julia_I", "", Invalid}, {"LineEdit_X", "10.5", Centre}, {"LineEdit_Y", "0.5.", Invalid},
                 {"LineEdit_X", "1e39", Invalid}}) {
            const QString In_Use = Edit == QLatin1String("LineEdit_Julia_R")   ? QStringLiteral("2")
                                   : Edit == QLatin1String("LineEdit_Julia_I") ? QStringLiteral("0.60001")
                                                                               : Text_Of(Edit);
            QCOMPARE(Renders_For(Edit, QString::fromLatin1(Text)), 0);
            QCOMPARE(E.Boxes.Seen.last().Text, Box);
            QCOMPARE(Text_Of(Edit), In_Use);
        }
        QCOMPARE(Slider->value(), 20000);
        COMPARE_PICTURE(E, Window_At(X_Shown, Y_Shown, 4, 4, Picture{false, 0, 0, 0, 0, 2.0f, 0.60001f}));

        // Typed key by key, a comma is the decimal point; a keystroke the field refuses changes nothing,
        // and the status line says what the field takes.
        QCOMPARE(Keys("LineEdit_Julia_I", "abc"), QString());
        QVERIFY2(E.Notice().startsWith("Julia Imag takes a number"), qPrintable(E.Notice()));
        QCOMPARE(Keys("LineEdit_X", "1,000,5"), QStringLiteral("1.0005"));
        QVERIFY2(E.Notice().startsWith("Center-X takes a number"), qPrintable(E.Notice()));
        // The iterations box refuses the digit that would pass its largest value, and says so.
        auto* Count_Field = E.Get<QSpinBox>("Spin_NumIter")->findChild<QLineEdit*>();
        Count_Field->selectAll();
        QTest::keyClicks(Count_Field, "2147483648");
        QCOMPARE(Count_Field->text(), QStringLiteral("214748364"));
        QVERIFY2(E.Notice().startsWith("Iterations take a whole number from 0 to 2147483647"), qPrintable(E.Notice()));
        Count_Field->setText(QString::number(E.Get<QSpinBox>("Spin_NumIter")->value()));

        // The centre limit is inclusive; both fields are read; "1,000" is one, not a thousand.
        E.Get<QLineEdit>("LineEdit_Y")->setText("0.0");
        QCOMPARE(Renders_For("LineEdit_X", "10"), 1);
        COMPARE_PICTURE(E, (Picture{false, 8, 12, -2, 2, 2.0f, 0.60001f}));
        QCOMPARE(Text_Of("LineEdit_X"), QStringLiteral("10"));
        QCOMPARE(Keys("LineEdit_X", "1,000"), QStringLiteral("1.000"));
        QTest::keyClick(E.Get<QLineEdit>("LineEdit_X"), Qt::Key_Return);
        COMPARE_PICTURE(E, (Picture{false, -1, 3, -2, 2, 2.0f, 0.60001f}));
        // A centre of more digits than any float: used and kept as typed.
        const QString Long = QStringLiteral("-0.12345678901234567890123");
        E.Type("LineEdit_X", Long);
        QCOMPARE(Text_Of("LineEdit_X"), Long);
        COMPARE_PICTURE(E, Window_At(-0.12345678901234567890123L, 0, 4, 4, Picture{false, 0, 0, 0, 0, 2.0f, 0.60001f}));

        // Focus leaving a field whose text is not in use: the field shows the value in use, and says so.
        E.Window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&E.Window));
        E.Get<QLineEdit>("LineEdit_Y")->setFocus(Qt::TabFocusReason);
        Keys("LineEdit_Y", "0.3");
        E.Get<QLineEdit>("LineEdit_X")->setFocus(Qt::TabFocusReason);
        QCOMPARE(Text_Of("LineEdit_Y"), QStringLiteral("0.0"));
        QVERIFY2(E.Notice().startsWith("Center-Y: \"0.3\" was not used"), qPrintable(E.Notice()));
        QLocale::setDefault(Saved);
    }

    // Run once more by the suite with QT_SCALE_FACTOR=2: every device pixel is rendered, and pan and
    // zoom keep their feel in logical pixels.
};

QTEST_MAIN(Number_Fields_Test)
#include "NumberFieldsTest.moc"

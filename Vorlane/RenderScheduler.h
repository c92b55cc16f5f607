// The renders: it takes the picture the explorer wants, waits out a burst of input (a render starts
// once input has paused for a moment, or a little later at the latest), renders with the float engine on
// the GUI thread while single precision resolves the view and hands it to the deep worker past that,
// drops pictures of views the user has left, reports progress, and colours kept counts anew where
// only the colours changed. The pictures it makes, it emits; it shows nothing itself.
#pragma once

#include <QElapsedTimer>
#include <QImage>
#include <QObject>
#include <QString>

#include <KestrineDeep.h>

#include <cstdint>
#include <memory>
#include <optional>

class Deep_Worker;
class Explorer;
class Pellarion;
class QTimer;
struct Deep_Result;

class Render_Scheduler : public QObject {
    Q_OBJECT

public:
    Render_Scheduler(Explorer& Place, QObject* Parent);
    ~Render_Scheduler() override;

    // The float engine, which also tells what device the program has.
    const Pellarion& Engine() const { return *Float_Engine; }
    // The last full picture, at full resolution: what Save writes.
    const QImage& Picture() const { return Last_Picture; }
    double Frame_Milliseconds() const { return Milliseconds; }
    // The number type of the picture on screen or in the making: "single", "double" or "extended".
    const QString& Number_Type() const { return Type_Name; }

    // The wanted picture changed: any deep render of an older one is dropped, and one render follows.
    void Request();
    // Only the colouring changed: kept counts of the same view are coloured anew without iterating,
    // anything else renders.
    void Recolour_Or_Render();
    // The render waiting or in flight is dropped and the picture on screen stays; false when there
    // was none. The next request renders again.
    bool Cancel();

signals:
    // A render began: with the float engine on the GUI thread, or the deep renderer on its worker.
    void Started(bool Deep);
    // A picture to show, of the place the explorer now holds: a preview, or the finished picture.
    void Picture_Ready(const QImage& Image, bool Final);
    // Picture_Ready's picture replaced the one on screen.
    void Shown(bool Final);
    // A render is waiting: the picture on screen should follow the view until it comes.
    void Waiting();
    // Per cent done of a deep render, from 0: of its reference orbit's most steps while that is made
    // (Reference true), then of its pixels; Progress_Over when it ends or is dropped.
    void Progress(int Per_Cent, bool Reference);
    void Progress_Over();
    void Failed(const QString& Message);

private:
    void Render();
    void Render_Float();
    void Start_Deep_Render();
    void Take_Deep_Result(const Deep_Result& Result);
    void Emit_Picture(QImage Image, bool Final, bool Flip);
    void Stop_Progress();

    Explorer& Wanted;
    std::unique_ptr<Pellarion> Float_Engine;
    QTimer* Render_Timer;
    QTimer* Progress_Timer;
    QElapsedTimer Waiting_Since;
    // Counts every change of what the picture shows; a deep result of another generation is dropped.
    std::uint64_t Generation = 0;
    std::uint64_t Deep_Generation = 0; // of the deep render in flight, 0 for none
    QImage Last_Picture;
    double Milliseconds = 0.0;
    QString Type_Name;
    // The counts of the last full deep picture and the view they are of, to recolour without iterating.
    Kestrine_Deep::Deep_Picture Last_Counts;
    std::optional<Kestrine_Deep::Deep_View> Counts_View;
    std::unique_ptr<Deep_Worker> Deep;
};

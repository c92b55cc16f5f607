// Deep pictures on a thread of their own, so that the window answers input while they are computed.
//
// Each job is rendered twice: first at every Preview_Step-th pixel, enlarged to the full size (a
// picture to look at within a few tens of milliseconds), then in full. A newer job replaces one not
// yet started and cancels the one running, so only the latest view is ever worked on.
#pragma once

#include <QImage>
#include <QObject>

#include <Colormaps.h>
#include <KestrineDeep.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

struct Deep_Job {
    std::uint64_t Generation = 0;
    Kestrine_Deep::Deep_View View;
    // The same place at every Preview_Step-th pixel, the spacing Preview_Step times View's, the centre
    // View's; none when its Image_Width is 0.
    Kestrine_Deep::Deep_View Preview;
    Kestrine::Colour_Table Colours{};
    Kestrine_Deep::Colouring Mode = Kestrine_Deep::Colouring::Table;
    double Density = 1.0;
};

struct Deep_Result {
    std::uint64_t Generation = 0;
    bool Preview = false;
    Kestrine_Deep::Render_Status Status = Kestrine_Deep::Render_Status::Failed;
    std::string Message;
    QImage Image;                      // at the job's full size, preview or not
    Kestrine_Deep::Deep_Picture Counts; // of the full picture, for colouring it again
    Kestrine_Deep::Render_Stats Stats;
};

// The picture's colours, as the deep library colours them (the same picture kestrine-render draws from
// the same position; in the table colouring as the float engine colours its counts, so that a picture
// looks the same on both sides of the switch between the engines). Black where it cannot colour.
QImage Deep_Colours(const Kestrine_Deep::Deep_Picture& Counts, const Kestrine::Colour_Table& Colours,
                    Kestrine_Deep::Colouring Mode, double Density);

class Deep_Worker {
public:
    static constexpr int Preview_Step = 8;
    // The preview's columns or rows for a picture of Pixels: every Preview_Step-th, rounded up.
    static int Preview_Pixels(int Pixels) { return (Pixels + Preview_Step - 1) / Preview_Step; }

    // Deliver runs on the thread of Receiver, once for each picture (preview or full) and once for a
    // full render that failed or was refused; never after the worker is destroyed.
    Deep_Worker(QObject* Receiver, std::function<void(const Deep_Result&)> Deliver);
    ~Deep_Worker();
    Deep_Worker(const Deep_Worker&) = delete;
    Deep_Worker& operator=(const Deep_Worker&) = delete;

    void Start(Deep_Job Job);
    // Only the job of this generation is wanted: any other, running or waiting, ends now.
    void Want_Only(std::uint64_t Generation);
    Kestrine_Deep::Render_Progress Progress() const;

private:
    void Run();
    void Render(const Deep_Job& Job);
    bool Wanted(const Deep_Job& Job) const { return Job.Generation == Wanted_Generation.load(); }
    void Deliver_Result(Deep_Result Result);

    QObject* Receiver;
    std::function<void(const Deep_Result&)> Deliver;
    Kestrine_Deep::Deep_Renderer Renderer;
    std::mutex Lock;
    std::condition_variable Wake;
    std::optional<Deep_Job> Waiting;
    bool Quit = false;
    std::atomic<std::uint64_t> Wanted_Generation{0};
    std::thread Thread;
};

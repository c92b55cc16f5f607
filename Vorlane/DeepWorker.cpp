#include "DeepWorker.h"

#include <QPainter>

#include <algorithm>

#include "PictureHandoff.h"

using namespace Kestrine_Deep;

QImage Deep_Colours(const Deep_Picture& Counts, const Kestrine::Colour_Table& Colours, Colouring Mode, double Density)
{
    const std::vector<unsigned char> Rgba = Colour_Picture(Counts, Colours.data(), Mode, Density);
    return Picture_From_Engine(Rgba.empty() ? nullptr : Rgba.data(), Counts.Width, Counts.Height);
}

namespace {

// The preview enlarged to Width x Height: each of its pixels a block of Step x Step, the blocks centred
// where the full picture's pixels of the same points lie.
QImage Enlarged(const QImage& Preview, int Step, int Width, int Height)
{
    QImage Full(Width, Height, QImage::Format_ARGB32);
    if (Full.isNull() || Preview.isNull())
        return Full;
    Full.fill(Qt::black);
    QPainter Painter(&Full);
    const QSizeF Size(Preview.width() * Step, Preview.height() * Step);
    const QPointF Corner((Width - Size.width()) / 2, (Height - Size.height()) / 2);
    Painter.drawImage(QRectF(Corner, Size), Preview);
    return Full;
}

} // namespace

Deep_Worker::Deep_Worker(QObject* Receiver, std::function<void(const Deep_Result&)> Deliver)
    : Receiver(Receiver), Deliver(std::move(Deliver)), Thread([this] { Run(); })
{
}

Deep_Worker::~Deep_Worker()
{
    {
        const std::lock_guard<std::mutex> Hold(Lock);
        Quit = true;
    }
    Want_Only(0);
    Wake.notify_one();
    Thread.join();
}

void Deep_Worker::Start(Deep_Job Job)
{
    Want_Only(Job.Generation);
    {
        const std::lock_guard<std::mutex> Hold(Lock);
        Waiting = std::move(Job);
    }
    Wake.notify_one();
}

void Deep_Worker::Want_Only(std::uint64_t Generation)
{
    if (Wanted_Generation.exchange(Generation) != Generation)
        Renderer.Cancel();
}

Render_Progress Deep_Worker::Progress() const
{
    return Renderer.Progress();
}

void Deep_Worker::Run()
{
    for (;;) {
        std::optional<Deep_Job> Job;
        {
            std::unique_lock<std::mutex> Hold(Lock);
            Wake.wait(Hold, [this] { return Quit || Waiting; });
            if (Quit)
                return;
            Job.swap(Waiting);
        }
        Render(*Job);
    }
}

void Deep_Worker::Render(const Deep_Job& Job)
{
    const Render_Options Options;
    if (Job.Preview.Image_Width > 0 && Wanted(Job)) {
        Deep_Result Result;
        Result.Generation = Job.Generation, Result.Preview = true;
        Deep_Picture Counts;
        Result.Status = Renderer.Render(Job.Preview, Options, Counts, Result.Message);
        if (Result.Status == Render_Status::Finished && Wanted(Job)) {
            Result.Image = Enlarged(Deep_Colours(Counts, Job.Colours, Job.Mode, Job.Density), Preview_Step,
                                    Job.View.Image_Width, Job.View.Image_Height);
            Deliver_Result(std::move(Result));
        }
    }
    if (!Wanted(Job))
        return;
    Deep_Result Result;
    Result.Generation = Job.Generation;
    Result.Status = Renderer.Render(Job.View, Options, Result.Counts, Result.Message);
    Result.Stats = Renderer.Last_Stats();
    if (Result.Status == Render_Status::Cancelled || !Wanted(Job))
        return;
    Result.Image = Deep_Colours(Result.Counts, Job.Colours, Job.Mode, Job.Density);
    Deliver_Result(std::move(Result));
}

void Deep_Worker::Deliver_Result(Deep_Result Result)
{
    // Queued to the receiver's thread; Qt drops it if the receiver is gone by then.
    QMetaObject::invokeMethod(
        Receiver, [Deliver = Deliver, Result = std::move(Result)] { Deliver(Result); }, Qt::QueuedConnection);
}

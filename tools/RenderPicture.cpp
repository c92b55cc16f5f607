// kestrine-render: renders one picture, on the device the libraries were built for, and writes it
// without any window. Installed beside Vorlane; also used to make the program's sample images and, on
// a machine with a GPU, to compare the pictures of the two devices.
//
// Two engines: Pellarion in single precision, and KestrineDeep at any depth. Prints the device and the
// engine's own render time.
#include "RenderTool.h"

#include <csignal>

#include <Pellarion.h>

namespace {

int Render_One(const Render_Tool::Request& R, Render_Tool::Engine Chosen)
{
    using namespace Render_Tool;
    if (Chosen == Engine::Deep)
        return Render_Deep(R);
    Engines With;
    Render_Report Report;
    const int Status = Render_Float(R, With, [] {}, Report);
    if (Status == 0)
        std::printf("%s\n", Report.Line.c_str());
    return Status;
}

} // namespace

int main(int argc, char** argv)
{
    using namespace Render_Tool;
    // Past a file-size limit a write fails with its reason, which the tool reports, rather than the
    // signal ending the tool with a file half written.
    std::signal(SIGXFSZ, SIG_IGN);
    Request R;
    bool Help = false;
    if (!Parse_Command_Line(argc, argv, R, Help))
        return 2;
    if (Help) {
        Print_Usage(stdout);
        return 0;
    }
    // A video checks each of its frames before the first.
    if (R.Frames > 0)
        return Render_Frames(R);
    std::string Refusal;
    if (!Position_Holds(R, Refusal)) {
        Complain(Refusal);
        return 2;
    }
    const Engine Chosen = Choose_Engine(R, Refusal);
    if (!Refusal.empty()) {
        Complain(Refusal);
        return 2;
    }
    return Render_One(R, Chosen);
}

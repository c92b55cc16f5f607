// kestrine-render: renders one picture, on the device the libraries were built for, and writes it
// without any window. Installed beside Vorlane; also used to make the program's sample images and, on
// a machine with a GPU, to compare the pictures of the two devices.
//
// Two engines: Pellarion in single precision, and KestrineDeep at any depth. Prints the device and the
// engine's own render time.
#include "RenderTool.h"

int main(int argc, char** argv)
{
    using namespace Render_Tool;
    Request R;
    bool Help = false;
    if (!Parse_Command_Line(argc, argv, R, Help))
        return 2;
    if (Help) {
        Print_Usage(stdout);
        return 0;
    }
    std::string Refusal;
    const Engine Chosen = Choose_Engine(R, Refusal);
    if (!Refusal.empty()) {
        Complain(Refusal);
        return 2;
    }
    return Chosen == Engine::Deep ? Render_Deep(R) : Render_Float(R);
}

// The engines a request renders with, made when first needed.
#include "RenderTool.h"

#include <Pellarion.h>

namespace Render_Tool {

Engines::Engines() = default;
Engines::~Engines() = default;

Pellarion& Engines::Float()
{
    if (!Float_Engine)
        Float_Engine = std::make_unique<Pellarion>();
    return *Float_Engine;
}

Kestrine_Deep::Deep_Renderer& Engines::Deep()
{
    if (!Deep_Engine)
        Deep_Engine = std::make_unique<Kestrine_Deep::Deep_Renderer>();
    return *Deep_Engine;
}

} // namespace Render_Tool

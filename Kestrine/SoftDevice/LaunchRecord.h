// What the software device counts of each kernel's launches: kept by the device, read by tests.
#pragma once

#include <cstdint>

#include "SoftTypes.h"

namespace Soft_Control {

struct Launch_Record {
    std::uint64_t Count = 0;
    dim3 Last_Grid = dim3(0, 0, 0);
    dim3 Last_Block = dim3(0, 0, 0);
};

} // namespace Soft_Control

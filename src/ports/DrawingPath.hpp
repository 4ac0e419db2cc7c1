#pragma once

namespace pelunna {

// How the client draws: on the CPU (GTK's cairo renderer, no WebKit hardware acceleration) or
// through the GPU with the toolkits' defaults.
enum class DrawingPath { cpu, gpu };

}  // namespace pelunna
